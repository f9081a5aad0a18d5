// The bytes of an INF file as text. INF files arrive as UTF-16LE, UTF-8 or
// Windows-1252 bytes; the client and the service keep them as UTF-8 inside
// and must read the same file into the same text.
#pragma once

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

}  // namespace quillary
