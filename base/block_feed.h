// Feeding bytes to a hash function that works on 64-byte blocks (MD5,
// SHA-256), whatever pieces they come in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillary {

// `length` counts the bytes taken before this call; the partial block they
// left is in `buffer`. The block is completed first, whole blocks go to
// `blocks(pointer, count)` straight from `data`, and what is left waits in
// `buffer` for more.
template <typename block_function>
void feed_blocks(uint8_t (&buffer)[64], uint64_t length, const uint8_t* data, size_t size, block_function blocks) {
  const size_t filled = length % 64;
  if (filled) {
    const size_t take = std::min(size, 64 - filled);
    std::memcpy(buffer + filled, data, take);
    data += take;
    size -= take;
    if (filled + take < 64) return;
    blocks(buffer, size_t{1});
  }
  if (size >= 64) blocks(data, size / 64);
  std::memcpy(buffer, data + size / 64 * 64, size % 64);
}

}  // namespace quillary
