#include "base/inf_text.h"

#include <cstdint>
#include <cstring>

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
  // Most INF files are plain ASCII, which reads the same in both: copied
  // as they are, without the round trip through UTF-16.
  uint64_t high = 0;  // the high bits of all bytes, eight at a time
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    high |= word;
  }
  for (; i < bytes.size(); ++i) high |= static_cast<unsigned char>(bytes[i]);
  if ((high & 0x8080808080808080ull) == 0) return std::string(bytes);
  std::u16string wide;
  wide.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    wide.push_back(b >= 0x80 && b < 0xA0 ? cp1252_high[b - 0x80] : static_cast<char16_t>(b));
  }
  return utf16_to_utf8(wide);
}

}  // namespace quillary
