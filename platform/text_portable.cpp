// Native stand-ins: the locale is UTF-8, and case folding covers the
// alphabets the program's own names and the language names use.
#include "platform/text.h"

namespace quillary {
namespace {

char16_t fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 0x20;
  if (c < 0x80) return c;
  // Latin-1: À..Þ except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  // Latin Extended-A: mostly upper/lower pairs at even/odd positions.
  if (c >= 0x100 && c <= 0x137) return c | 1;
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
  // Greek and Cyrillic capitals.
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  return c;
}

}  // namespace

bool equal_ignore_case(std::u16string_view a, std::u16string_view b) {
  a = up_to_nul(a);
  b = up_to_nul(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string to_ansi(std::u16string_view text) { return utf16_to_utf8(text); }

std::u16string from_ansi(std::string_view text) { return utf8_to_utf16(text); }

void append_from_ansi(std::string_view text, std::u16string& out) { append_utf8_to_utf16(text, out); }

}  // namespace quillary

namespace quillary {
int compare_for_display(std::u16string_view a, std::u16string_view b) {
  a = up_to_nul(a);
  b = up_to_nul(b);
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}
}  // namespace quillary
