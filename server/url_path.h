// Package names in request paths.
#pragma once

#include <string>
#include <string_view>

namespace quillary::server {

// Decodes %XX escapes; false on a '%' without two hex digits.
bool percent_decode(std::string_view text, std::string& out);

// The package name a path asks for: the part after "/packages/", decoded.
// False for other paths and for names that could leave the catalogue
// folder or are no plain file name: empty, "." or "..", a '/' or '\' (also
// encoded), or a NUL byte.
bool package_name_from_path(std::string_view path, std::string& name);

}  // namespace quillary::server
