// ASCII text helpers shared by the client and the service: identifiers
// (device IDs, INF keys and section names, protocol words) are compared
// with ASCII case folding, which is how they are spelled, and protocol
// numbers are read as plain digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

std::string to_upper_ascii(std::string_view text);
bool equal_ignore_case_ascii(std::string_view a, std::string_view b);
bool starts_with_ignore_case_ascii(std::string_view text, std::string_view prefix);

// Text without the blanks, tabs, CR and LF at both ends.
std::string_view trim_blanks(std::string_view text);

// A plain decimal number of at most `max_digits` digits (no sign, no
// blanks); false otherwise. Protocol numbers are read with this.
bool parse_decimal(std::string_view text, uint64_t& value, size_t max_digits = 18);
// The same for hexadecimal digits of either case; no "0x" prefix.
bool parse_hex(std::string_view text, uint64_t& value, size_t max_digits = 16);

}  // namespace quillary
