// Publishers sign their packages with a key they keep offline (minisign,
// Ed25519 over the file's BLAKE2b-512); the program holds their public keys.
// Replies, mirrors and the network path then only carry packages: whatever
// they change, a package is installed only when a trusted key vouches for
// its bytes, its file name and its SHA-256.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/blake2b.h"
#include "base/minisign.h"
#include "base/sha256.h"

namespace quillary {

struct machine_policy;

// The keys a process trusts and what it asks of packages.
struct signature_trust {
  // Package links must be https:// (a policy's choice).
  bool require_https = false;
  struct trusted_key {
    minisign_public_key key;
    const char* source = "";  // "built-in" or "policy"
  };
  std::vector<trusted_key> keys;  // revoked keys are not among them
  std::vector<minisign_key_id> revoked;
  // Unsigned packages are refused. On whenever a key is trusted or revoked,
  // unless a policy says the team serves packages without signatures.
  bool require_signed = false;

  const trusted_key* find(const minisign_key_id& id) const;
  bool is_revoked(const minisign_key_id& id) const;
};

// The built-in keys (each a base64 key line, separated by blanks or ';'),
// the policy's keys and revocations, and its word on unsigned packages.
// Keys that cannot be read are passed over with a line in `problems`.
signature_trust make_signature_trust(std::string_view built_in_keys, const machine_policy& policy,
                                     std::vector<std::string>* problems = nullptr);
// The keys this build carries (the catalogue's; empty when built without).
std::string_view built_in_catalogue_keys();

enum class signature_verdict {
  valid,             // a trusted key vouches for these bytes under this name and digest
  not_required,      // no signature, or one by a key nobody trusts, and none is required
  unsigned_package,  // no signature, and one is required
  malformed,         // the signature cannot be read
  legacy_format,     // signed without the prehash: the program does not take it
  unknown_key,       // signed, but by no key the program trusts
  revoked_key,       // signed by a key the policy revoked
  bad_signature,     // the bytes are not the ones that were signed
  bad_comment,       // the trusted comment is not the one that was signed
  other_file,        // the signed comment names another package file
  other_digest,      // the signed comment names another SHA-256
};
bool signature_accepted(signature_verdict verdict);
// A word for JSON ("valid", "unsigned_package", ...).
const char* verdict_name(signature_verdict verdict);
std::optional<signature_verdict> signature_verdict_from_name(std::string_view name);
// The reason in English, for the command line.
std::string describe(signature_verdict verdict);

// What an offer says of its package, and its signature as the reply
// carries it (the `.minisig` file's bytes in base64; empty when none).
struct signed_offer {
  std::string file_name;                // the last part of the link
  std::optional<sha256_digest> sha256;  // the offer's
  std::string minisig_base64;
};

// The file name a link names: its last path part, without query or
// fragment, %-escapes decoded.
std::string package_file_name(std::string_view link);

// What can be decided before any byte arrives: whether there must be, and
// is, a signature by a trusted key whose comment names this file and
// (when the offer names one) this digest. A package that fails here is not
// downloaded at all. Fills `claimed` with the digest the comment names
// (the bytes must give it) when the signature is a trusted key's.
signature_verdict check_offer_signature(const signature_trust& trust, const signed_offer& offer,
                                        std::optional<sha256_digest>* claimed = nullptr);
// Everything: the above, and the signature over the bytes that gave
// `file_blake2b` and, when it was computed too, `file_sha256` (which must
// then be the one the signed comment names; a download computes only the
// BLAKE2b, the signature vouching for the rest).
signature_verdict check_package_signature(const signature_trust& trust, const signed_offer& offer,
                                          const sha256_digest* file_sha256, const blake2b_digest& file_blake2b);
// Whether a check needs the file's BLAKE2b at all (a signature to verify).
bool signature_needs_file_hash(const signature_trust& trust, const signed_offer& offer);

// Both digests of a file in one reading; false when it cannot be read.
bool hash_file_for_signature(const std::u16string& path, sha256_digest& sha256, blake2b_digest& blake2b);

}  // namespace quillary
