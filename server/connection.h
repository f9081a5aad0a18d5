// One connection: read one request, answer it, close.
#pragma once

#include <string>

#include "server/service_context.h"

namespace quillary::server {

struct connection_info {
  int fd = -1;
  std::string peer;       // "127.0.0.1:54321", for the log
  std::string authority;  // the listener's "127.0.0.1:8080", for links when Host is missing
};

// Largest request head and request body accepted.
constexpr size_t max_request_head = 64u << 10;
constexpr uint64_t max_request_body = 16u << 20;

// Serves the connection and closes its socket.
void serve_connection(const connection_info& connection, const service_context_c& context);

// The authority to put into package links: the request's Host header when
// it is a plain host name or address with an optional port, else the
// listener's own.
std::string link_authority(const std::string* host_header, const std::string& listener_authority);

}  // namespace quillary::server
