#include "server/request_reader.h"

#include <algorithm>

#include "base/ascii_text.h"

namespace quillary::server {

namespace {

// The end of the head: an empty line, after CRLF or a bare LF (as
// parse_request_head takes it); the offset just past it, or npos.
size_t head_end(std::string_view buffer, size_t from) {
  const size_t crlf = buffer.find("\n\r\n", from);
  const size_t lf = buffer.find("\n\n", from);
  if (lf != std::string_view::npos && (crlf == std::string_view::npos || lf < crlf)) return lf + 2;
  return crlf == std::string_view::npos ? std::string_view::npos : crlf + 3;
}

// The heap bytes of a parsed head. A head of many short lines costs more
// parsed than as text (an entry of two strings per line); small strings
// are counted whole, which makes this an upper bound.
size_t parsed_bytes(const http_request& request) {
  size_t bytes = request.method.capacity() + request.target.capacity() + request.version.capacity() +
                 request.headers.capacity() * sizeof(request.headers.front());
  for (const auto& [name, value] : request.headers) bytes += name.capacity() + value.capacity();
  return bytes;
}

}  // namespace

bool takes_body(const http_request& request, const fault_mode& fault) {
  return request.method == "POST" && request.path() == "/" && fault.kind != fault_kind::status &&
         request.header("Transfer-Encoding") == nullptr && request.has_content_length &&
         request.content_length <= max_request_body;
}

request_reader_c::request_reader_c(fault_mode fault, std::string leftover)
    : fault_(fault), buffer_(std::move(leftover)) {}

size_t request_reader_c::wanted() const {
  switch (phase_) {
    case phase::head: return max_request_head + 1 - std::min(buffer_.size(), max_request_head);
    case phase::body: return static_cast<size_t>(result_.request.content_length) - result_.body.size();
    case phase::done: return 0;
  }
  return 0;
}

size_t request_reader_c::held() const {
  return buffer_.capacity() + parsed_head_bytes_ + result_.problem.capacity() + result_.body.capacity() +
         leftover_.capacity();
}

request_reader_c::step request_reader_c::take(std::string_view bytes) {
  if (phase_ == phase::body) {
    result_.body.append(bytes.substr(0, wanted()));
    if (result_.body.size() < result_.request.content_length) return step::more;
    result_.body_read = true;
    phase_ = phase::done;
    return step::done;
  }
  if (phase_ == phase::done) return step::done;
  buffer_.append(bytes);
  // Only the new bytes (and the three before them) can complete the end.
  const size_t end = head_end(buffer_, scanned_ > 3 ? scanned_ - 3 : 0);
  scanned_ = buffer_.size();
  if (end != std::string::npos) return head_arrived(end);
  if (buffer_.size() > max_request_head) {
    result_.head = head_status::too_large;
    phase_ = phase::done;
    return step::done;
  }
  return step::more;
}

request_reader_c::step request_reader_c::head_arrived(size_t end) {
  size_t head_size = 0;
  result_.head = parse_request_head(std::string_view(buffer_).substr(0, end), max_request_head, result_.request,
                                    head_size, result_.problem);
  parsed_head_bytes_ = parsed_bytes(result_.request);
  if (result_.head != head_status::complete) {
    phase_ = phase::done;
    return step::done;
  }
  std::string rest = buffer_.substr(head_size);
  std::string().swap(buffer_);
  if (!takes_body(result_.request, fault_)) {
    leftover_ = std::move(rest);
    phase_ = phase::done;
    return step::done;
  }
  const auto length = static_cast<size_t>(result_.request.content_length);
  if (rest.size() > length) leftover_ = rest.substr(length);
  rest.resize(std::min(rest.size(), length));
  result_.body = std::move(rest);
  result_.body.reserve(length);
  phase_ = phase::body;
  const bool nothing_yet = result_.body.empty();
  if (take({}) == step::done) return step::done;
  // libcurl asks before it sends a larger body and would otherwise wait a
  // second for the go-ahead.
  const std::string* expect = result_.request.header("Expect");
  const bool asks = expect != nullptr && equal_ignore_case_ascii(*expect, "100-continue");
  return asks && nothing_yet ? step::send_continue : step::more;
}

}  // namespace quillary::server
