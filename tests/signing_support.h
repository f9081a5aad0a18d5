// A publisher's key pair for tests, signing the way minisign does (same
// file format, prehashed by default), so that the program's check can be
// tested against signatures whose every byte a test controls, and minisign
// itself can verify what these make.
#pragma once

#include <sodium.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "base/blake2b.h"
#include "base/minisign.h"
#include "base/sha256.h"

namespace quillary::testing {

class test_signer_c {
 public:
  // The publisher of a minisign secret key file made without a password
  // (`minisign -G -W`), such as the sample catalogue's; the signer holds no
  // key when the file is not one.
  static test_signer_c from_secret_key_file(const std::string& text) {
    test_signer_c signer(0);
    const size_t begin = text.find('\n') + 1;
    std::string bytes;
    // "Ed", no key derivation ("\0\0"), "B2", salt, limits, then the key
    // number and the 64-byte secret key with its public half at the end.
    if (!decode_base64(text.substr(begin, text.find('\n', begin) - begin), bytes) || bytes.size() != 158 ||
        bytes.compare(0, 4, std::string("Ed\0\0", 4)) != 0) {
      signer.usable_ = false;
      return signer;
    }
    std::memcpy(signer.id_.data(), bytes.data() + 54, 8);
    std::memcpy(signer.secret_key_, bytes.data() + 62, 64);
    std::memcpy(signer.public_key_, bytes.data() + 62 + 32, 32);
    return signer;
  }
  bool usable() const { return usable_; }

  // The same seed gives the same key, so tests are repeatable.
  explicit test_signer_c(uint8_t seed_byte, uint8_t id_byte = 0) {
    sodium_ready();
    unsigned char seed[crypto_sign_SEEDBYTES];
    std::memset(seed, seed_byte, sizeof seed);
    crypto_sign_seed_keypair(public_key_, secret_key_, seed);
    for (size_t i = 0; i < id_.size(); ++i) id_[i] = static_cast<uint8_t>(id_byte + seed_byte + i);
  }

  const minisign_key_id& id() const { return id_; }
  minisign_public_key key() const {
    minisign_public_key key;
    key.id = id_;
    std::memcpy(key.key.data(), public_key_, key.key.size());
    return key;
  }
  // The key's base64 line, as the second line of minisign's .pub file.
  std::string public_key_line() const {
    return encode_base64("Ed" + bytes(id_.data(), id_.size()) + bytes(public_key_, 32));
  }

  // A .minisig file for `data` with the trusted comment given.
  std::string sign(std::string_view data, const std::string& trusted_comment, bool prehashed = true) const {
    unsigned char signature[crypto_sign_BYTES];
    if (prehashed) {
      blake2b_c hash;
      hash.update(data.data(), data.size());
      const blake2b_digest digest = hash.digest();
      crypto_sign_detached(signature, nullptr, digest.data(), digest.size(), secret_key_);
    } else {
      crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                           secret_key_);
    }
    const std::string global_message = bytes(signature, sizeof signature) + trusted_comment;
    unsigned char global[crypto_sign_BYTES];
    crypto_sign_detached(global, nullptr, reinterpret_cast<const unsigned char*>(global_message.data()),
                         global_message.size(), secret_key_);
    return "untrusted comment: signature from a test key\n" +
           encode_base64((prehashed ? "ED" : "Ed") + bytes(id_.data(), id_.size()) +
                         bytes(signature, sizeof signature)) +
           "\ntrusted comment: " + trusted_comment + "\n" + encode_base64(bytes(global, sizeof global)) + "\n";
  }

  // A package's signature as the signing script writes it.
  std::string sign_package(std::string_view data, std::string_view file_name) const {
    return sign(data, package_trusted_comment(1700000000, file_name, sha256_of(data)));
  }

 private:
  static std::string bytes(const unsigned char* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
  }
  unsigned char public_key_[crypto_sign_PUBLICKEYBYTES];
  unsigned char secret_key_[crypto_sign_SECRETKEYBYTES];
  minisign_key_id id_{};
  bool usable_ = true;
};

#ifdef QUILLARY_SOURCE_DIR
// The sample catalogue's publisher, whose key this build trusts: packages
// it signs pass the program's checks as the demo's do.
inline const test_signer_c& sample_publisher() {
  static const test_signer_c signer = [] {
    std::ifstream file(QUILLARY_SOURCE_DIR "/resources/keys/sample-catalogue.key", std::ios::binary);
    return test_signer_c::from_secret_key_file(
        std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
  }();
  return signer;
}
#endif

}  // namespace quillary::testing
