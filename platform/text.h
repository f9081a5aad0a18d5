// Text conversion and comparison. Text inside the program is UTF-16
// (std::u16string); the edges use UTF-8 (language file, JSON) or the
// thread's ANSI code page (update service, catalogue, zip names).
#pragma once

#include <string>
#include <string_view>

// utf8_to_utf16 and utf16_to_utf8, which the service shares.
#include "base/utf8.h"

namespace quillary {

// Plain ASCII to UTF-16, for names built from narrow literals.
inline std::u16string ascii_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) out.push_back(static_cast<unsigned char>(c));
  return out;
}

// The thread's ANSI code page on Windows (characters it cannot hold become
// '?'); UTF-8 in the native build, whose locale is UTF-8.
std::string to_ansi(std::u16string_view text);
std::u16string from_ansi(std::string_view text);
// Appends the converted text to `out`, without a string of its own between.
void append_from_ansi(std::string_view text, std::u16string& out);

// Case-insensitive equality as the system's user-interface comparisons see
// it (lstrcmpiW on Windows; natively a simple case folding of the Latin,
// Greek and Cyrillic letters).
bool equal_ignore_case(std::u16string_view a, std::u16string_view b);

// The text up to (not including) its first NUL, as a C string would end.
inline std::u16string_view up_to_nul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }
inline std::string_view up_to_nul(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace quillary

namespace quillary {
// Orders texts as the user's locale sorts them for display (lstrcmpW on
// Windows; natively letter case decides only between otherwise equal texts).
int compare_for_display(std::u16string_view a, std::u16string_view b);
}  // namespace quillary
