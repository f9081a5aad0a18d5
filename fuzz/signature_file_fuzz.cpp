// A package's signature file as the service reads it from the catalogue
// folder: the shape check must take any bytes, and base64 (how the reply
// and the index carry the file) must give the bytes back exactly; a text it
// decodes must be the one encoding of its bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/base64.h"
#include "server/package_signature.h"

using namespace quillary::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool plausible = is_plausible_signature(bytes);
  // Four lines at least three line feeds long, two of them prefixed.
  if (plausible && (bytes.size() < 3 || bytes.substr(0, 19) != "untrusted comment: ")) std::abort();

  std::string decoded;
  if (!base64_decode(base64_encode(bytes), decoded) || decoded != bytes) std::abort();
  if (base64_decode(bytes, decoded) && base64_encode(decoded) != bytes) std::abort();
  return 0;
}
