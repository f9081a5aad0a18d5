// SHA-256 (FIPS 180-4): the update service names the digest of each package
// it offers, and a download is kept only when its bytes give that digest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

using sha256_digest = std::array<uint8_t, 32>;

// Runs the compression function over `count` whole 64-byte blocks.
using sha256_block_function = void (*)(uint32_t state[8], const uint8_t* blocks, size_t count);

// The block function in plain C++, for every processor.
sha256_block_function sha256_portable_blocks();
// The one using the processor's SHA instructions (x86-64 with the SHA
// extensions); null where there are none. Packages are hashed while they
// download, and the plain function alone would slow a fast download down.
sha256_block_function sha256_accelerated_blocks();

class sha256_c {
 public:
  // The accelerated block function where the processor has one.
  sha256_c();
  explicit sha256_c(sha256_block_function blocks);

  void update(const void* data, size_t size);
  // The digest of everything given so far; the object can go on taking
  // bytes afterwards (the padding is applied to a copy).
  sha256_digest digest() const;
  // Bytes given since the start.
  uint64_t length() const { return length_; }
  // Back to the state of a fresh object.
  void reset();

 private:
  sha256_block_function blocks_;
  uint32_t state_[8];
  uint64_t length_ = 0;
  uint8_t buffer_[64];
};

sha256_digest sha256_of(std::string_view data);
// 64 lower-case hexadecimal digits.
std::string to_hex(const sha256_digest& digest);
// Reads 64 hexadecimal digits (either case) and nothing else.
bool parse_sha256_hex(std::string_view text, sha256_digest& out);

}  // namespace quillary
