#include "base/ascii_text.h"

#include <cstdint>

#include "base/utf8.h"

namespace quillary {

namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of Windows-1252 is Latin-1.
constexpr char16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string utf16le_to_utf8(std::string_view bytes) {
  std::u16string wide;
  wide.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto low = static_cast<unsigned char>(bytes[i]);
    const auto high = static_cast<unsigned char>(bytes[i + 1]);
    wide.push_back(static_cast<char16_t>(low | (high << 8)));
  }
  return utf16_to_utf8(wide);
}

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string decode_inf_bytes(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return utf16le_to_utf8(bytes.substr(2));
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    // Round trip through UTF-16 so that broken sequences cannot travel on
    // into the replies.
    return utf16_to_utf8(utf8_to_utf16(bytes.substr(3)));
  }
  // Files saved as UTF-16 without a mark still start with an ASCII
  // character: a bracket, a semicolon or a blank.
  if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) return utf16le_to_utf8(bytes);
  return cp1252_to_utf8(bytes);
}

std::string cp1252_to_utf8(std::string_view bytes) {
  std::u16string wide;
  wide.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    wide.push_back(b >= 0x80 && b < 0xA0 ? cp1252_high[b - 0x80] : static_cast<char16_t>(b));
  }
  return utf16_to_utf8(wide);
}

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
