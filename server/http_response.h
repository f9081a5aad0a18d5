// Status line and header fields of a response. A response that ends its
// connection says "Connection: close"; one on a connection that stays open
// for the next request says nothing (HTTP/1.1 keeps connections open).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "server/http_answer.h"
#include "server/outgoing_answer.h"

namespace quillary::server {

using header_list = std::vector<std::pair<std::string, std::string>>;

std::string response_head(int status, const header_list& headers, uint64_t content_length, bool keep_alive = false);

// A whole answer with its Content-Type and the `extra` header fields, in
// one buffer. For HEAD only the head goes out, but with the Content-Length
// the GET would carry, as HEAD is meant to tell.
outgoing_answer_c buffered_answer(const http_answer& answer, bool head_only, const header_list& extra = {},
                                  bool keep_alive = false);

// The small HTML page of the status fault and of plain errors in HTML.
std::string status_page(int status);

}  // namespace quillary::server
