#include "base/ascii_text.h"

namespace quillary {

namespace {

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string to_upper_ascii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upper_ascii(c);
  return out;
}

bool equal_ignore_case_ascii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  }
  return true;
}

bool starts_with_ignore_case_ascii(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equal_ignore_case_ascii(text.substr(0, prefix.size()), prefix);
}

std::string_view trim_blanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool parse_decimal(std::string_view text, uint64_t& value, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

bool parse_hex(std::string_view text, uint64_t& value, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return false;
  value = 0;
  for (const char c : text) {
    uint64_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint64_t>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<uint64_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<uint64_t>(c - 'A' + 10);
    else return false;
    value = value * 16 + digit;
  }
  return true;
}

}  // namespace quillary
