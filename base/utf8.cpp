#include "base/utf8.h"

#include <cstdint>

namespace quillary {
namespace {

constexpr char16_t replacement = 0xFFFD;

void append_code_point(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  append_utf8_to_utf16(text, out);
  return out;
}

void append_utf8_to_utf16(std::string_view text, std::u16string& out) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Length of the sequence and the range its second byte must lie in
    // (this excludes overlong forms, surrogates and values above U+10FFFF).
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out.push_back(replacement);
      ++i;
      continue;
    }
    size_t used = 1;
    bool valid = true;
    for (; used < length; ++used) {
      if (i + used >= n) {
        valid = false;
        break;
      }
      const auto next = static_cast<uint8_t>(text[i + used]);
      const uint8_t lo = used == 1 ? low : 0x80;
      const uint8_t hi = used == 1 ? high : 0xBF;
      if (next < lo || next > hi) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (next & 0x3F);
    }
    if (valid) {
      append_code_point(out, cp);
      i += length;
    } else {
      // The valid prefix of a broken sequence counts as one error.
      out.push_back(replacement);
      i += used;
    }
  }
}

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = replacement;
    }
    append_utf8(out, cp);
  }
  return out;
}

}  // namespace quillary
