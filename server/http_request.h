// The head of an HTTP/1.x request: request line and header fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillary::server {

struct http_request {
  std::string method;
  std::string target;   // as sent, such as "/packages/a%20b.zip"
  std::string version;  // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;
  bool has_content_length = false;
  uint64_t content_length = 0;

  // The first header of that name (without regard to case); null if none.
  const std::string* header(std::string_view name) const;
  // The target's path: without a query, and without scheme and host when
  // the target is in absolute form.
  std::string path() const;
};

enum class head_status { incomplete, complete, bad, too_large };

// Looks for a complete head (ending in an empty line) at the start of
// `buffer`. With `complete`, `head_size` is the number of bytes it took.
// `bad` comes with a reason: a malformed request line or field, folded
// header lines, a Content-Length that is no number or given twice with
// different values. `too_large` when no end is found within `max_head` bytes.
head_status parse_request_head(std::string_view buffer, size_t max_head, http_request& out, size_t& head_size,
                               std::string& reason);

}  // namespace quillary::server
