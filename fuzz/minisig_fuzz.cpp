// Publishers' signatures come from replies, files and policies anyone may
// have written: reading any bytes as a signature, a key or a package's
// claims must not crash, and what is read must survive a round trip.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "base/minisign.h"
#include "download/package_signature.h"

namespace {

const quillary::signature_trust& some_trust() {
  static const quillary::signature_trust trust = [] {
    quillary::signature_trust t;
    quillary::minisign_public_key key;
    std::string error;
    if (quillary::parse_minisign_public_key("RWQ47DlEOlAPCwwgFf5LXEqRC+mR91P2m/pKiSrV6hg5XnBV6tGuoj+U", key, error)) {
      t.keys.push_back({key, "built-in"});
    }
    t.require_signed = true;
    return t;
  }();
  return trust;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  quillary::minisign_signature signature;
  if (quillary::parse_minisign_signature(text, signature, error)) {
    // A comment is one line: nothing after it can pass for part of it.
    if (signature.trusted_comment.find('\n') != std::string::npos) std::abort();
  }
  quillary::minisign_public_key key;
  quillary::parse_minisign_public_key(text, key, error);
  quillary::minisign_key_id id{};
  if (quillary::parse_key_id(text, id) && !quillary::parse_key_id(quillary::key_id_text(id), id)) std::abort();
  quillary::read_package_claims(text);

  std::string decoded;
  if (quillary::decode_base64(text, decoded) && quillary::encode_base64(decoded) != text) std::abort();

  // As a reply would carry it, against a trusted key.
  quillary::signed_offer offer;
  offer.file_name = "a.zip";
  offer.minisig_base64 = quillary::encode_base64(text);
  std::optional<quillary::sha256_digest> claimed;
  const auto verdict = quillary::check_offer_signature(some_trust(), offer, &claimed);
  // Whatever passes names this file and a digest.
  if (verdict == quillary::signature_verdict::valid &&
      (!claimed || quillary::read_package_claims(signature.trusted_comment).file_name != "a.zip")) {
    std::abort();
  }
  return 0;
}
