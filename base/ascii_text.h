// Byte-level text helpers of the client and the service: INF files arrive as UTF-16LE,
// UTF-8 or Windows-1252 bytes and are kept as UTF-8 inside; identifiers are
// compared with ASCII case folding, which is how device IDs are spelled.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

// The text of an INF file as UTF-8. A UTF-16LE byte-order mark (or, without
// one, a first character whose high byte is zero) means UTF-16LE; a UTF-8
// mark means UTF-8 (invalid sequences become U+FFFD); anything else is read
// as Windows-1252, the code page of the files' authors. The mark is dropped.
std::string decode_inf_bytes(std::string_view bytes);

// Windows-1252 bytes as UTF-8; the five unassigned bytes map to the C1
// controls of the same value, as the system's own table does.
std::string cp1252_to_utf8(std::string_view bytes);

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
