#include "server/url_path.h"

namespace quillary::server {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool percent_decode(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
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
