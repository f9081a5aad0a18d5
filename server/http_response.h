// Status line and header fields of a response. Every response carries
// "Connection: close": each connection serves one request.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "server/http_answer.h"

namespace quillary::server {

using header_list = std::vector<std::pair<std::string, std::string>>;

std::string response_head(int status, const header_list& headers, uint64_t content_length);

// Sends a whole answer with its Content-Type and the `extra` header fields.
// For HEAD only the head goes out, but with the Content-Length the GET
// would carry, as HEAD is meant to tell.
bool send_answer(int fd, const http_answer& answer, bool head_only, const std::atomic<bool>& stopping,
                 const header_list& extra = {});

// The small HTML page of the status fault and of plain errors in HTML.
std::string status_page(int status);

}  // namespace quillary::server
