// ASCII text helpers shared by the client and the service: identifiers
// (device IDs, INF keys and section names, protocol words) are compared
// with ASCII case folding, which is how they are spelled, and protocol
// numbers are read as plain digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

// The C library's classes in the "C" locale, which the program keeps:
// bytes from 128 up are in none of them.
inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// isspace: blank, tab, LF, VT, FF, CR.
inline bool is_ascii_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// The value of a hexadecimal digit of either case; -1 for any other byte.
int hex_digit_value(char c);

inline char to_lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char to_upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
std::string to_upper_ascii(std::string_view text);
bool equal_ignore_case_ascii(std::string_view a, std::string_view b);
bool starts_with_ignore_case_ascii(std::string_view text, std::string_view prefix);

// What trim_blanks drops: blanks, tabs, CR and LF.
inline constexpr std::string_view blank_characters = " \t\r\n";
// Text without the blanks, tabs, CR and LF at both ends.
std::string_view trim_blanks(std::string_view text);
// Text without any of `characters` at both ends, or only at its end: each
// reader keeps the set its format allows (minisign's " \t", a Linux
// system file's quotes too).
std::string_view trim_ascii(std::string_view text, std::string_view characters);
std::string_view trim_ascii_end(std::string_view text, std::string_view characters);

// A plain decimal number of at most `max_digits` digits (no sign, no
// blanks); false otherwise. Protocol numbers are read with this.
bool parse_decimal(std::string_view text, uint64_t& value, size_t max_digits = 18);
// The same for hexadecimal digits of either case; no "0x" prefix.
bool parse_hex(std::string_view text, uint64_t& value, size_t max_digits = 16);

}  // namespace quillary
