// The answer to a package download, whole or one byte range, with the
// download faults applied: prepared here, sent by the hub from the open
// file as the client takes it. A package's signature file (NAME.minisig)
// goes out the same way, from the bytes the catalogue holds.
#pragma once

#include <optional>
#include <string_view>

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

// The package whose signature file is called `name` ("NAME.zip.minisig"
// for the package "NAME.zip"); none when there is no such package or it
// has no signature.
std::optional<catalogue_package> package_of_signature(const catalogue_c& catalogue, std::string_view name);

// Answers GET or HEAD for the signature file of a signed package: the bytes
// the reply's `minisig` carries, not the file as it may be now, so that
// both always agree.
package_answer prepare_signature_answer(const http_request& request, const catalogue_package& package,
                                        const fault_mode& fault, bool keep_alive);

}  // namespace quillary::server
