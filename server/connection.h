// Answering one request that has arrived whole on a connection.
#pragma once

#include <string>

#include "server/request_reader.h"
#include "server/service_context.h"

namespace quillary::server {

struct connection_info {
  int fd = -1;
  std::string peer;       // "127.0.0.1:54321", for the log
  std::string authority;  // the listener's "127.0.0.1:8080", for links when Host is missing
};

// Answers the request with blocking writes (a socket in non-blocking mode
// is waited on). True when the connection can carry another request: an
// HTTP/1.1 request that did not ask to close, whose body was read whole,
// answered in full, with no fault mode in force. The socket stays open
// either way; the caller closes it.
bool answer_request(const connection_info& connection, const received_request& received,
                    const service_context_c& context);

// The authority to put into package links: the request's Host header when
// it is a plain host name or address with an optional port, else the
// listener's own.
std::string link_authority(const std::string* host_header, const std::string& listener_authority);

}  // namespace quillary::server
