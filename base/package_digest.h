// The digest a download keeps of its package file while the file is
// written, in the one pass over the bytes that the download makes anyway:
// the SHA-256 that offers name or, for a package whose publisher's
// signature is checked, the BLAKE2b-512 the signature covers. A signed
// package needs no SHA-256 of its own: its publisher signed the BLAKE2b
// together with a comment naming the SHA-256 (which must be the offer's),
// so bytes that pass the signature are the ones that give it. Two hashes
// of every byte would cost more than a two-core PC can give a fast
// download.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/blake2b.h"
#include "base/sha256.h"

namespace quillary {

enum class digest_kind { sha256, blake2b };

class package_digest_c {
 public:
  explicit package_digest_c(digest_kind kind = digest_kind::sha256) : kind_(kind) {}

  void update(const void* data, size_t size) {
    if (kind_ == digest_kind::sha256) {
      sha256_.update(data, size);
    } else {
      blake2b_.update(data, size);
    }
  }
  // Back to no bytes; `kind` decides the hash from now on.
  void reset(digest_kind kind) {
    kind_ = kind;
    reset();
  }
  void reset() {
    sha256_.reset();
    blake2b_.reset();
  }
  digest_kind kind() const { return kind_; }
  uint64_t length() const { return kind_ == digest_kind::sha256 ? sha256_.length() : blake2b_.length(); }
  // The digest of its kind; none of the other.
  std::optional<sha256_digest> sha256() const {
    return kind_ == digest_kind::sha256 ? std::optional<sha256_digest>(sha256_.digest()) : std::nullopt;
  }
  std::optional<blake2b_digest> blake2b() const {
    return kind_ == digest_kind::blake2b ? std::optional<blake2b_digest>(blake2b_.digest()) : std::nullopt;
  }

 private:
  digest_kind kind_;
  sha256_c sha256_;
  blake2b_c blake2b_;
};

}  // namespace quillary
