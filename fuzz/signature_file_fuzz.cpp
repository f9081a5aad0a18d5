// A package's signature file as the service reads it from the catalogue
// folder: the shape check must take any bytes, and base64 (how the reply
// and the index carry the file) must give the bytes back exactly; a text it
// decodes must be the one encoding of its bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/minisign.h"
#include "server/package_signature.h"

using namespace quillary::server;
using quillary::decode_base64;
using quillary::encode_base64;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool plausible = is_plausible_signature(bytes);
  // Four lines at least three line feeds long, two of them prefixed.
  if (plausible && (bytes.size() < 3 || bytes.substr(0, 19) != "untrusted comment: ")) std::abort();

  std::string decoded;
  if (!decode_base64(encode_base64(bytes), decoded) || decoded != bytes) std::abort();
  if (decode_base64(bytes, decoded) && encode_base64(decoded) != bytes) std::abort();
  return 0;
}
