#include "base/ascii_text.h"

namespace quillary {

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string to_upper_ascii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = to_upper_ascii(c);
  return out;
}

bool equal_ignore_case_ascii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (to_upper_ascii(a[i]) != to_upper_ascii(b[i])) return false;
  }
  return true;
}

bool starts_with_ignore_case_ascii(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equal_ignore_case_ascii(text.substr(0, prefix.size()), prefix);
}

// A loop of its own rather than trim_ascii: find_first_not_of looks each
// character up in the set with memchr, and the INF reader trims every key
// and field of a catalogue's million files.
std::string_view trim_blanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string_view trim_ascii(std::string_view text, std::string_view characters) {
  const size_t begin = text.find_first_not_of(characters);
  return begin == std::string_view::npos ? std::string_view() : trim_ascii_end(text.substr(begin), characters);
}

std::string_view trim_ascii_end(std::string_view text, std::string_view characters) {
  const size_t end = text.find_last_not_of(characters);
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

bool parse_decimal(std::string_view text, uint64_t& value, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return false;
  value = 0;
  for (const char c : text) {
    if (!is_ascii_digit(c)) return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

bool parse_hex(std::string_view text, uint64_t& value, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return false;
  value = 0;
  for (const char c : text) {
    const int digit = hex_digit_value(c);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  return true;
}

}  // namespace quillary
