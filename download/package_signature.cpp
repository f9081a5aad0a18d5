#include "download/package_signature.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>

#include "app/policy.h"
#include "base/ascii_text.h"
#include "platform/files.h"

#ifndef QUILLARY_CATALOGUE_KEYS
#define QUILLARY_CATALOGUE_KEYS ""
#endif

namespace quillary {
namespace {

bool nothing_configured(const signature_trust& trust) {
  return trust.keys.empty() && trust.revoked.empty() && !trust.require_signed;
}

// The parts of a check that need no file bytes. `signature` is filled when
// the verdict is valid (a trusted key's signature binding this offer), so
// that the caller can go on to the bytes.
signature_verdict check_offer(const signature_trust& trust, const signed_offer& offer, minisign_signature& signature,
                              const signature_trust::trusted_key** signer, std::optional<sha256_digest>* claimed) {
  if (offer.minisig_base64.empty()) {
    return trust.require_signed ? signature_verdict::unsigned_package : signature_verdict::not_required;
  }
  // A build and a policy without keys have no way to check anything.
  if (nothing_configured(trust)) return signature_verdict::not_required;
  std::string text, error;
  if (offer.minisig_base64.size() > max_minisig_bytes * 2 || !decode_base64(offer.minisig_base64, text) ||
      !parse_minisign_signature(text, signature, error)) {
    return signature_verdict::malformed;
  }
  if (trust.is_revoked(signature.key_id)) return signature_verdict::revoked_key;
  const signature_trust::trusted_key* key = trust.find(signature.key_id);
  if (!key) return trust.require_signed ? signature_verdict::unknown_key : signature_verdict::not_required;
  if (!signature.prehashed) return signature_verdict::legacy_format;
  if (!sodium_ready()) return signature_verdict::bad_signature;
  // The global signature covers the file's signature and the comment: only
  // with it do the comment's claims come from the key's holder.
  std::string signed_comment(reinterpret_cast<const char*>(signature.signature.data()), signature.signature.size());
  signed_comment += signature.trusted_comment;
  if (crypto_sign_verify_detached(signature.global_signature.data(),
                                  reinterpret_cast<const unsigned char*>(signed_comment.data()), signed_comment.size(),
                                  key->key.key.data()) != 0) {
    return signature_verdict::bad_comment;
  }
  // The same publisher signs many packages: this signature must be this
  // package's, by name and by digest.
  const package_claims claims = read_package_claims(signature.trusted_comment);
  if (claims.file_name.empty() || claims.file_name != offer.file_name) return signature_verdict::other_file;
  if (!claims.sha256 || (offer.sha256 && *offer.sha256 != *claims.sha256)) return signature_verdict::other_digest;
  if (claimed) *claimed = claims.sha256;
  if (signer) *signer = key;
  return signature_verdict::valid;
}

}  // namespace

const signature_trust::trusted_key* signature_trust::find(const minisign_key_id& id) const {
  const auto found = std::find_if(keys.begin(), keys.end(), [&](const trusted_key& k) { return k.key.id == id; });
  return found == keys.end() ? nullptr : &*found;
}

bool signature_trust::is_revoked(const minisign_key_id& id) const {
  return std::find(revoked.begin(), revoked.end(), id) != revoked.end();
}

std::string_view built_in_catalogue_keys() { return QUILLARY_CATALOGUE_KEYS; }

signature_trust make_signature_trust(std::string_view built_in_keys, const machine_policy& policy,
                                     std::vector<std::string>* problems) {
  signature_trust trust;
  trust.revoked = policy.revoked_keys;
  const auto add = [&](const minisign_public_key& key, const char* source) {
    if (trust.is_revoked(key.id) || trust.find(key.id)) return;
    trust.keys.push_back({key, source});
  };
  while (!built_in_keys.empty()) {
    const size_t begin = built_in_keys.find_first_not_of(" \t\r\n;");
    if (begin == std::string_view::npos) break;
    built_in_keys.remove_prefix(begin);
    const size_t end = std::min(built_in_keys.find_first_of(" \t\r\n;"), built_in_keys.size());
    minisign_public_key key;
    std::string error;
    if (parse_minisign_public_key(built_in_keys.substr(0, end), key, error)) {
      add(key, "built-in");
    } else if (problems) {
      problems->push_back("built-in key \"" + std::string(built_in_keys.substr(0, end)) + "\" ignored: " + error);
    }
    built_in_keys.remove_prefix(end);
  }
  for (const auto& key : policy.trusted_keys) add(key, "policy");
  // A key trusted, or one revoked: signatures matter here, and a package
  // without one must not slip past them.
  trust.require_signed = policy.require_signed_packages.value_or(!trust.keys.empty() || !trust.revoked.empty());
  trust.require_https = policy.require_https;
  return trust;
}

bool signature_accepted(signature_verdict verdict) {
  return verdict == signature_verdict::valid || verdict == signature_verdict::not_required;
}

const char* verdict_name(signature_verdict verdict) {
  switch (verdict) {
    case signature_verdict::valid: return "valid";
    case signature_verdict::not_required: return "not_required";
    case signature_verdict::unsigned_package: return "unsigned_package";
    case signature_verdict::malformed: return "malformed";
    case signature_verdict::legacy_format: return "legacy_format";
    case signature_verdict::unknown_key: return "unknown_key";
    case signature_verdict::revoked_key: return "revoked_key";
    case signature_verdict::bad_signature: return "bad_signature";
    case signature_verdict::bad_comment: return "bad_comment";
    case signature_verdict::other_file: return "other_file";
    case signature_verdict::other_digest: return "other_digest";
  }
  return "";
}

std::optional<signature_verdict> signature_verdict_from_name(std::string_view name) {
  for (int v = 0; v <= static_cast<int>(signature_verdict::other_digest); ++v) {
    if (name == verdict_name(static_cast<signature_verdict>(v))) return static_cast<signature_verdict>(v);
  }
  return std::nullopt;
}

std::string describe(signature_verdict verdict) {
  switch (verdict) {
    case signature_verdict::valid: return "signed by a trusted key";
    case signature_verdict::not_required: return "no signature is required";
    case signature_verdict::unsigned_package: return "the package is not signed, and signatures are required";
    case signature_verdict::malformed: return "the package's signature cannot be read";
    case signature_verdict::legacy_format:
      return "the package is signed in minisign's legacy format; only prehashed signatures are taken";
    case signature_verdict::unknown_key: return "the package is signed by a key that is not trusted";
    case signature_verdict::revoked_key: return "the package is signed by a key that the policy revoked";
    case signature_verdict::bad_signature: return "the package's bytes are not the ones its publisher signed";
    case signature_verdict::bad_comment: return "the signature's trusted comment was changed after signing";
    case signature_verdict::other_file: return "the signature is for another package file";
    case signature_verdict::other_digest: return "the signature names another SHA-256 than the offer";
  }
  return "";
}

std::string package_file_name(std::string_view link) {
  link = link.substr(0, link.find_first_of("?#"));
  std::string_view last = link.substr(link.rfind('/') + 1);
  std::string name;
  for (size_t i = 0; i < last.size(); ++i) {
    uint64_t byte = 0;
    if (last[i] == '%' && i + 2 < last.size() && parse_hex(last.substr(i + 1, 2), byte, 2)) {
      name.push_back(static_cast<char>(byte));
      i += 2;
    } else {
      name.push_back(last[i]);
    }
  }
  return name;
}

signature_verdict check_offer_signature(const signature_trust& trust, const signed_offer& offer,
                                        std::optional<sha256_digest>* claimed) {
  minisign_signature signature;
  return check_offer(trust, offer, signature, nullptr, claimed);
}

bool signature_needs_file_hash(const signature_trust& trust, const signed_offer& offer) {
  minisign_signature signature;
  return check_offer(trust, offer, signature, nullptr, nullptr) == signature_verdict::valid;
}

signature_verdict check_package_signature(const signature_trust& trust, const signed_offer& offer,
                                          const sha256_digest* file_sha256, const blake2b_digest& file_blake2b) {
  minisign_signature signature;
  const signature_trust::trusted_key* key = nullptr;
  std::optional<sha256_digest> claimed;
  const signature_verdict verdict = check_offer(trust, offer, signature, &key, &claimed);
  if (verdict != signature_verdict::valid) return verdict;
  if (file_sha256 && *claimed != *file_sha256) return signature_verdict::other_digest;
  if (crypto_sign_verify_detached(signature.signature.data(), file_blake2b.data(), file_blake2b.size(),
                                  key->key.key.data()) != 0) {
    return signature_verdict::bad_signature;
  }
  return signature_verdict::valid;
}

bool hash_file_for_signature(const std::u16string& path, sha256_digest& sha256, blake2b_digest& blake2b) {
  std::FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  sha256_c sha;
  blake2b_c blake;
  std::vector<char> buffer(1 << 20);
  size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    sha.update(buffer.data(), count);
    blake.update(buffer.data(), count);
  }
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  if (read) {
    sha256 = sha.digest();
    blake2b = blake.digest();
  }
  return read;
}

}  // namespace quillary
