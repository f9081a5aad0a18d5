// The Range header of a package download (RFC 9110, one range of bytes).
#pragma once

#include <cstdint>
#include <string_view>

namespace quillary::server {

enum class range_kind {
  whole,          // no usable Range: send the whole file with 200
  partial,        // send bytes first..last with 206
  unsatisfiable,  // 416 with "Content-Range: bytes */size"
};

struct byte_range {
  range_kind kind = range_kind::whole;
  uint64_t first = 0;
  uint64_t last = 0;  // inclusive
};

// Reads "bytes=N-", "bytes=N-M" and "bytes=-N" (the last N bytes) for a file
// of `size` bytes; M beyond the end is cut to it. A header that is not of
// these forms, or asks for several ranges, is ignored (whole file), as the
// standard allows. A first byte at or beyond the end cannot be satisfied.
byte_range parse_byte_range(std::string_view header, uint64_t size);

}  // namespace quillary::server
