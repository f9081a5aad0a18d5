// Inflating the query's zlib stream (RFC 1950) with a cap on the output, so
// that a small body cannot expand into an unbounded document.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillary::server {

enum class inflate_result { ok, not_zlib, too_large };

// Inflates exactly one zlib stream that must fill the whole input (no bytes
// after its Adler-32 trailer). The output grows in steps and never beyond
// `max_output` bytes.
inflate_result inflate_zlib(std::string_view input, size_t max_output, std::string& output);

}  // namespace quillary::server
