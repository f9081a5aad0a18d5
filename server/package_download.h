// Sending a package file, whole or one byte range, streamed in chunks, with
// the download faults applied.
#pragma once

#include <cstdint>
#include <string>

#include "server/catalogue.h"
#include "server/http_request.h"
#include "server/service_context.h"

namespace quillary::server {

struct download_result {
  int status = 0;
  uint64_t body_bytes = 0;  // body bytes actually sent
  bool complete = false;    // the whole answer went out
};

// Answers GET or HEAD for one package on the connection `fd`. Does not close
// the connection; the caller does. With `keep_alive` the answer leaves the
// connection open for another request.
download_result send_package(int fd, const http_request& request, const catalogue_package& package,
                             const service_context_c& context, bool keep_alive);

}  // namespace quillary::server
