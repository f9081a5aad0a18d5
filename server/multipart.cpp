#include "server/multipart.h"

#include <vector>

#include "base/ascii_text.h"

namespace quillary::server {

namespace {

// Splits "a; b=c; d="e;f"" at semicolons outside quotes.
std::vector<std::string_view> split_parameters(std::string_view value) {
  std::vector<std::string_view> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '"') quoted = !quoted;
    else if (value[i] == '\\' && quoted) ++i;
    else if (value[i] == ';' && !quoted) {
      parts.push_back(trim_blanks(value.substr(start, i - start)));
      start = i + 1;
    }
  }
  parts.push_back(trim_blanks(value.substr(std::min(start, value.size()))));
  return parts;
}

// The value of `name` among the parameters of a header value (the first part
// is the type or disposition itself and is skipped).
bool parameter(std::string_view header_value, std::string_view name, std::string& out) {
  const auto parts = split_parameters(header_value);
  for (size_t i = 1; i < parts.size(); ++i) {
    const size_t equals = parts[i].find('=');
    if (equals == std::string_view::npos) continue;
    if (!equal_ignore_case_ascii(trim_blanks(parts[i].substr(0, equals)), name)) continue;
    std::string_view value = trim_blanks(parts[i].substr(equals + 1));
    out.clear();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
      for (size_t k = 0; k < value.size(); ++k) {
        if (value[k] == '\\' && k + 1 < value.size()) ++k;
        out.push_back(value[k]);
      }
    } else {
      out.assign(value);
    }
    return true;
  }
  return false;
}

// The form field name of a part, from its header block; empty when none.
std::string part_name(std::string_view headers) {
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t eol = headers.find("\r\n", pos);
    if (eol == std::string_view::npos) eol = headers.size();
    const std::string_view line = headers.substr(pos, eol - pos);
    pos = eol + 2;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (!equal_ignore_case_ascii(trim_blanks(line.substr(0, colon)), "Content-Disposition")) continue;
    const std::string_view value = trim_blanks(line.substr(colon + 1));
    if (!equal_ignore_case_ascii(trim_blanks(split_parameters(value)[0]), "form-data")) return {};
    std::string name;
    if (parameter(value, "name", name)) return name;
  }
  return {};
}

}  // namespace

bool multipart_boundary(std::string_view content_type, std::string& boundary) {
  const auto parts = split_parameters(content_type);
  if (!equal_ignore_case_ascii(parts[0], "multipart/form-data")) return false;
  if (!parameter(content_type, "boundary", boundary)) return false;
  if (boundary.empty() || boundary.size() > 70) return false;
  return true;
}

multipart_result find_form_part(std::string_view body, std::string_view boundary, std::string_view name,
                                std::string_view& content) {
  const std::string delimiter = "\r\n--" + std::string(boundary);
  // The first delimiter may stand at the very start, without its CRLF.
  size_t pos;
  if (body.substr(0, delimiter.size() - 2) == std::string_view(delimiter).substr(2)) {
    pos = delimiter.size() - 2;
  } else {
    const size_t first = body.find(delimiter);
    if (first == std::string_view::npos) return multipart_result::malformed;
    pos = first + delimiter.size();
  }

  bool found = false;
  while (true) {
    // After a delimiter: "--" closes the body; else optional blanks and CRLF.
    if (body.substr(pos, 2) == "--") return found ? multipart_result::found : multipart_result::missing;
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (body.substr(pos, 2) != "\r\n") return multipart_result::malformed;
    pos += 2;

    // Part headers end with an empty line; a part may have no headers at all.
    size_t headers_end;
    size_t content_start;
    if (body.substr(pos, 2) == "\r\n") {
      headers_end = pos;
      content_start = pos + 2;
    } else {
      headers_end = body.find("\r\n\r\n", pos);
      if (headers_end == std::string_view::npos) return multipart_result::malformed;
      content_start = headers_end + 4;
    }
    const size_t next = body.find(delimiter, content_start);
    if (next == std::string_view::npos) return multipart_result::malformed;
    if (part_name(body.substr(pos, headers_end - pos)) == name) {
      if (found) return multipart_result::duplicate;
      found = true;
      content = body.substr(content_start, next - content_start);
    }
    pos = next + delimiter.size();
  }
}

}  // namespace quillary::server
