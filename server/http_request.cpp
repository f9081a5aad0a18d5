#include "server/http_request.h"

#include "base/ascii_text.h"

namespace quillary::server {

namespace {

bool is_token_char(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b <= 32 || b >= 127) return false;
  return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

bool parse_request_line(std::string_view line, http_request& out) {
  const size_t first = line.find(' ');
  if (first == std::string_view::npos) return false;
  const size_t second = line.find(' ', first + 1);
  if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) return false;
  out.method = std::string(line.substr(0, first));
  out.target = std::string(line.substr(first + 1, second - first - 1));
  out.version = std::string(line.substr(second + 1));
  if (out.method.empty() || out.target.empty()) return false;
  for (const char c : out.method) {
    if (!is_token_char(c)) return false;
  }
  for (const char c : out.target) {
    if (static_cast<unsigned char>(c) <= 32 || c == 127) return false;
  }
  return out.version == "HTTP/1.1" || out.version == "HTTP/1.0";
}

}  // namespace

const std::string* http_request::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equal_ignore_case_ascii(key, name)) return &value;
  }
  return nullptr;
}

std::string http_request::path() const {
  std::string_view p(target);
  if (starts_with_ignore_case_ascii(p, "http://")) {
    const size_t slash = p.find('/', 7);
    p = slash == std::string_view::npos ? std::string_view("/") : p.substr(slash);
  }
  const size_t query = p.find_first_of("?#");
  return std::string(p.substr(0, query));
}

head_status parse_request_head(std::string_view buffer, size_t max_head, http_request& out, size_t& head_size,
                               std::string& reason) {
  // Lines end in CRLF; a bare LF is taken as well, as most servers do.
  size_t end = buffer.find("\n\r\n");
  size_t end_length = 3;
  const size_t bare = buffer.find("\n\n");
  if (bare != std::string_view::npos && (end == std::string_view::npos || bare < end)) {
    end = bare;
    end_length = 2;
  }
  if (end == std::string_view::npos) {
    return buffer.size() > max_head ? head_status::too_large : head_status::incomplete;
  }
  if (end + end_length > max_head) return head_status::too_large;
  head_size = end + end_length;

  out = http_request{};
  const std::string_view head = buffer.substr(0, end + 1);
  size_t pos = 0;
  bool first = true;
  while (pos < head.size()) {
    size_t eol = head.find('\n', pos);
    if (eol == std::string_view::npos) eol = head.size();
    std::string_view line = head.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      if (!parse_request_line(line, out)) {
        reason = "malformed request line";
        return head_status::bad;
      }
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == ' ' || line.front() == '\t') {
      reason = "folded header lines are not accepted";
      return head_status::bad;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
      reason = "malformed header line";
      return head_status::bad;
    }
    const std::string_view name = line.substr(0, colon);
    for (const char c : name) {
      if (!is_token_char(c)) {
        reason = "malformed header name";
        return head_status::bad;
      }
    }
    const std::string_view value = trim_blanks(line.substr(colon + 1));
    if (equal_ignore_case_ascii(name, "Content-Length")) {
      uint64_t length = 0;
      if (!parse_decimal(value, length) || (out.has_content_length && length != out.content_length)) {
        reason = "invalid Content-Length";
        return head_status::bad;
      }
      out.has_content_length = true;
      out.content_length = length;
    }
    out.headers.emplace_back(std::string(name), std::string(value));
  }
  return head_status::complete;
}

}  // namespace quillary::server
