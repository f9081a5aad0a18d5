// The digests a download keeps of its package file while the file is
// written: the SHA-256 that offers name and, for a package whose signature
// is to be checked, the BLAKE2b-512 the signature covers. Both are taken
// in the one pass over the bytes that the download makes anyway.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/blake2b.h"
#include "app/sha256.h"

namespace quillary {

class package_digest_c {
 public:
  explicit package_digest_c(bool with_blake2b = false) : with_blake2b_(with_blake2b) {}

  void update(const void* data, size_t size) {
    update_sha256(data, size);
    update_blake2b(data, size);
  }
  // Each hash on its own, for a caller that feeds them from two threads in
  // the same order (each touches only its own state).
  void update_sha256(const void* data, size_t size) { sha256_.update(data, size); }
  void update_blake2b(const void* data, size_t size) {
    if (with_blake2b_) blake2b_.update(data, size);
  }
  // Back to no bytes; `with_blake2b` decides the hashes from now on.
  void reset(bool with_blake2b) {
    with_blake2b_ = with_blake2b;
    reset();
  }
  void reset() {
    sha256_.reset();
    blake2b_.reset();
  }
  // Bytes in the SHA-256 (the BLAKE2b has had the same once both lanes of
  // a background hashing have finished).
  uint64_t length() const { return sha256_.length(); }
  sha256_digest digest() const { return sha256_.digest(); }
  std::optional<blake2b_digest> blake2b() const {
    return with_blake2b_ ? std::optional<blake2b_digest>(blake2b_.digest()) : std::nullopt;
  }
  bool with_blake2b() const { return with_blake2b_; }

 private:
  bool with_blake2b_;
  sha256_c sha256_;
  blake2b_c blake2b_;
};

}  // namespace quillary
