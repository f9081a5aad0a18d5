// Collects one request from the bytes of a connection as they arrive, so
// that a connection waits for its request without a thread of its own: the
// head up to its limit, then the body of a query up to its limit. Bytes
// after the request are kept for the next request on the connection.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "server/fault_mode.h"
#include "server/http_request.h"

namespace quillary::server {

// Largest request head and request body accepted.
constexpr size_t max_request_head = 64u << 10;
constexpr uint64_t max_request_body = 2u << 20;

// A request as it arrived.
struct received_request {
  // complete, or bad / too_large when no head could be read (the answer is
  // then 400 or 413 and the connection closes).
  head_status head = head_status::incomplete;
  std::string problem;  // why a head is bad
  http_request request;
  std::string body;
  bool body_read = false;  // the whole body is in `body`
};

// Whether the service reads the request's body before answering: a query
// that announces a body of an acceptable length. Other bodies are never
// read, and their connection closes after the answer.
bool takes_body(const http_request& request, const fault_mode& fault);

class request_reader_c {
 public:
  enum class step {
    more,           // read more bytes from the connection
    send_continue,  // the client waits for "100 Continue" before its body; then read more
    done,           // the request is complete (or cannot be read): answer it
  };

  // `leftover`: bytes that followed the previous request on the connection.
  explicit request_reader_c(fault_mode fault = {}, std::string leftover = {});

  // How many bytes to read at most now: never past the body, so that bytes
  // of a next request stay in the socket until this one is answered.
  size_t wanted() const;
  // Takes bytes read from the connection (none to look at the leftover).
  step take(std::string_view bytes);
  // Whether any byte of this request arrived.
  bool started() const { return !buffer_.empty() || phase_ != phase::head; }
  // The heap bytes the reader holds, the whole announced body included
  // from the moment its head has arrived (the body's buffer is set aside
  // then): what the connection's share of the buffer budget must cover.
  size_t held() const;

  received_request& result() { return result_; }
  // The bytes after the request, for the next reader of the connection.
  std::string take_leftover() { return std::move(leftover_); }

 private:
  enum class phase { head, body, done };
  step head_arrived(size_t end);

  fault_mode fault_;
  phase phase_ = phase::head;
  std::string buffer_;  // the head so far
  size_t scanned_ = 0;  // bytes of buffer_ searched for the end of the head
  size_t parsed_head_bytes_ = 0;  // what the parsed head holds
  received_request result_;
  std::string leftover_;
};

}  // namespace quillary::server
