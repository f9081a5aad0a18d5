// The text formats of minisign, the tool publishers sign their packages
// with: public keys and signature files (".minisig"). Only reading is done
// here, for text that may come from anyone (a reply, a policy, a file);
// checking a signature is download/package_signature.h's job.
//
// A public key is one base64 line of 42 bytes: "Ed", the key's 8-byte ID,
// the 32-byte Ed25519 key; its file puts an "untrusted comment:" line
// before it. A signature file has four lines:
//   untrusted comment: <anything>
//   base64 of 74 bytes: the algorithm ("ED": Ed25519 over the BLAKE2b-512
//     of the file; "Ed": over the file itself), the key ID, the signature
//   trusted comment: <text the signer vouches for too>
//   base64 of 64 bytes: the global signature, over the signature and the
//     trusted comment's text
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/sha256.h"

namespace quillary {

using minisign_key_id = std::array<uint8_t, 8>;

struct minisign_public_key {
  minisign_key_id id{};
  std::array<uint8_t, 32> key{};
};

struct minisign_signature {
  // "ED": the file's BLAKE2b-512 was signed. The legacy "Ed" signs the
  // whole file at once, which would hold a package in memory: refused.
  bool prehashed = false;
  minisign_key_id key_id{};
  std::array<uint8_t, 64> signature{};
  std::string trusted_comment;  // the text after "trusted comment: "
  std::array<uint8_t, 64> global_signature{};
};

// A signature file is a few hundred bytes; anything much longer is not one.
constexpr size_t max_minisig_bytes = 4096;

// Standard base64 with padding; false on any other character, a wrong
// length or bits left over.
bool decode_base64(std::string_view text, std::string& out);
std::string encode_base64(std::string_view bytes);

// A key as its base64 line, or a whole ".pub" file (comment line first).
bool parse_minisign_public_key(std::string_view text, minisign_public_key& out, std::string& error);
// A ".minisig" file's text; CR LF line ends are taken as well.
bool parse_minisign_signature(std::string_view text, minisign_signature& out, std::string& error);

// The key ID as minisign prints it: the 8 bytes as a little-endian number,
// 16 upper-case hexadecimal digits.
std::string key_id_text(const minisign_key_id& id);
// The same back, of either case, with or without leading zeros (minisign
// itself drops them).
bool parse_key_id(std::string_view text, minisign_key_id& out);

// What a package's trusted comment vouches for. Quillary's signing script
// writes "timestamp:T<tab>file:NAME<tab>sha256:HEX"; fields are separated
// by tabs, and unknown ones are passed over.
struct package_claims {
  std::string file_name;                // empty when the comment names none
  std::optional<sha256_digest> sha256;  // none when absent or not 64 hex digits
};
package_claims read_package_claims(std::string_view trusted_comment);
// The trusted comment the signing script writes for a package.
std::string package_trusted_comment(int64_t timestamp, std::string_view file_name, const sha256_digest& digest);

}  // namespace quillary
