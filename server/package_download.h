// The answer to a package download, whole or one byte range, with the
// download faults applied: prepared here, sent by the hub from the open
// file as the client takes it.
#pragma once

#include "server/catalogue.h"
#include "server/fault_mode.h"
#include "server/http_request.h"
#include "server/outgoing_answer.h"

namespace quillary::server {

struct package_answer {
  int status = 0;
  outgoing_answer_c answer;
};

// Answers GET or HEAD for one package. With `keep_alive` the answer leaves
// the connection open for another request.
package_answer prepare_package_answer(const http_request& request, const catalogue_package& package,
                                      const fault_mode& fault, bool keep_alive);

}  // namespace quillary::server
