// What a handler answers to one request, before it is put on the wire.
#pragma once

#include <string>

namespace quillary::server {

struct http_answer {
  int status = 200;
  std::string content_type = "text/plain";
  std::string body;
};

// A short plain-text answer for errors: the status line's reason and a
// line of detail.
http_answer text_answer(int status, const std::string& detail);

// The standard reason phrase of a status code ("Not Found"); "Status" for
// codes it does not know.
const char* reason_phrase(int status);

}  // namespace quillary::server
