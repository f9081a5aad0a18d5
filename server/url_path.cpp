#include "server/url_path.h"

#include "base/ascii_text.h"

namespace quillary::server {

bool percent_decode(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    uint64_t byte = 0;
    if (i + 2 >= text.size() || !parse_hex(text.substr(i + 1, 2), byte, 2)) return false;
    out.push_back(static_cast<char>(byte));
    i += 2;
  }
  return true;
}

bool package_name_from_path(std::string_view path, std::string& name) {
  constexpr std::string_view prefix = "/packages/";
  if (path.substr(0, prefix.size()) != prefix) return false;
  if (!percent_decode(path.substr(prefix.size()), name)) return false;
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

}  // namespace quillary::server
