// Answering one request that has arrived whole on a connection.
#pragma once

#include <string>

#include "server/outgoing_answer.h"
#include "server/request_reader.h"
#include "server/service_context.h"

namespace quillary::server {

struct connection_info {
  std::string peer;       // "127.0.0.1:54321", for the log
  std::string authority;  // the listener's "127.0.0.1:8080", for links when Host is missing
};

// Prepares the answer to the request, for the hub to send. It leaves the
// connection open for another request (after_answer::next_request) after
// an HTTP/1.1 request that did not ask to close, whose body was read
// whole, with no fault mode in force. Its log line is written once it has
// gone out.
outgoing_answer_c answer_request(const connection_info& connection, const received_request& received,
                                 const service_context_c& context);

// The authority to put into package links: the request's Host header when
// it is a plain host name or address with an optional port, else the
// listener's own.
std::string link_authority(const std::string* host_header, const std::string& listener_authority);

}  // namespace quillary::server
