// Faults the service can be told to show, one per process, so that the
// client's handling of broken servers can be tested against a real socket.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillary::server {

enum class fault_kind {
  none,
  status,        // every request: that status with a small HTML body
  refuse,        // the listening sockets close once the ready lines are out
  stall,         // downloads: headers and N body bytes, then silence
  truncate,      // downloads: full Content-Length, connection closed after N bytes
  oversize,      // query: a valid reply padded to 5,242,880 bytes or more
  ignore_range,  // downloads: Range is ignored, 200 with the whole file
  extra,         // downloads: N bytes more than the file, counted in Content-Length
  bad_xml,       // query: 200 with a body that is not XML
  rate,          // downloads: at most N bytes per second
};

struct fault_mode {
  fault_kind kind = fault_kind::none;
  uint64_t value = 0;  // the CODE or N of the mode
};

// Reads "status:CODE", "refuse", "stall:N", "truncate:N", "oversize",
// "ignore-range", "extra:N", "bad-xml" or "rate:BYTES_PER_SECOND". CODE is
// 200 to 599 except those that may not carry a body (204, 205, 304); the
// rate must be at least 1.
bool parse_fault_mode(std::string_view text, fault_mode& out, std::string& reason);

// The size the oversize fault pads the reply to: the client's reply buffer.
constexpr uint64_t oversize_reply_bytes = 5242880;

}  // namespace quillary::server
