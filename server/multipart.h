// multipart/form-data bodies (RFC 7578 over RFC 2046), as libcurl's form
// posts make them: the update query is one such body.
#pragma once

#include <string>
#include <string_view>

namespace quillary::server {

// The boundary parameter of a Content-Type value, quoted or not; false when
// the type is not multipart/form-data or the boundary is missing or longer
// than the 70 characters RFC 2046 allows.
bool multipart_boundary(std::string_view content_type, std::string& boundary);

enum class multipart_result { found, missing, duplicate, malformed };

// Finds the content of the one part whose Content-Disposition names `name`.
// Delimiters are CRLF "--" boundary; the first may open the body without the
// CRLF; blanks may follow a delimiter before its CRLF; the body must close
// with the final delimiter ("--" after the boundary). Parts with other names
// are skipped; a second part of the same name is `duplicate`.
multipart_result find_form_part(std::string_view body, std::string_view boundary, std::string_view name,
                                std::string_view& content);

}  // namespace quillary::server
