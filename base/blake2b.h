// BLAKE2b-512 (RFC 7693) of a stream of bytes: what a publisher's prehashed
// minisign signature covers. From libsodium, which picks the fastest code
// for the processor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillary {

using blake2b_digest = std::array<uint8_t, 64>;

class blake2b_c {
 public:
  blake2b_c();
  void update(const void* data, size_t size);
  // The digest of everything given so far; more bytes may follow.
  blake2b_digest digest() const;
  void reset();
  // Bytes given since the start.
  uint64_t length() const { return length_; }

 private:
  // libsodium's state, which must sit on a 64-byte boundary.
  alignas(64) unsigned char state_[384];
  uint64_t length_ = 0;
};

// libsodium set up for this process (once; later calls only answer).
bool sodium_ready();

}  // namespace quillary
