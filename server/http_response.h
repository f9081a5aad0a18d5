// Status line and header fields of a response. Every response carries
// "Connection: close": each connection serves one request.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillary::server {

using header_list = std::vector<std::pair<std::string, std::string>>;

std::string response_head(int status, const header_list& headers, uint64_t content_length);

// The small HTML page of the status fault and of plain errors in HTML.
std::string status_page(int status);

}  // namespace quillary::server
