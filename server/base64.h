// Standard base64 (RFC 4648, with padding, no line breaks): how the reply
// and the index file carry the bytes of a package's signature file.
#pragma once

#include <string>
#include <string_view>

namespace quillary::server {

std::string base64_encode(std::string_view bytes);

// Strict: only the standard alphabet, a length that is a multiple of four,
// padding only at the end and unused bits zero, so that every text decodes
// to one byte string and every byte string has exactly one text. False
// otherwise (`out` then holds nothing useful).
bool base64_decode(std::string_view text, std::string& out);

}  // namespace quillary::server
