// UTF-8 and UTF-16 conversion. Text inside the program is UTF-16; files,
// the wire and the service's own text are UTF-8. Both the client and the
// service read outside text with these, so both sanitise it the same way.
#pragma once

#include <string>
#include <string_view>

namespace quillary {

// Invalid or truncated UTF-8 sequences become U+FFFD, one per maximal
// invalid subpart, as the system's own decoder does.
std::u16string utf8_to_utf16(std::string_view text);
void append_utf8_to_utf16(std::string_view text, std::u16string& out);

// Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

}  // namespace quillary
