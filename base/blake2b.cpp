#include "base/blake2b.h"

#include <sodium.h>

#include <algorithm>

namespace quillary {
namespace {

static_assert(sizeof(crypto_generichash_blake2b_state) <= 384, "blake2b_c's state is too small");

crypto_generichash_blake2b_state* state_of(unsigned char* bytes) {
  return reinterpret_cast<crypto_generichash_blake2b_state*>(bytes);
}

}  // namespace

bool sodium_ready() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

blake2b_c::blake2b_c() { reset(); }

void blake2b_c::update(const void* data, size_t size) {
  crypto_generichash_blake2b_update(state_of(state_), static_cast<const unsigned char*>(data), size);
  length_ += size;
}

blake2b_digest blake2b_c::digest() const {
  alignas(64) unsigned char copy[sizeof state_];
  std::copy(std::begin(state_), std::end(state_), copy);
  blake2b_digest out{};
  crypto_generichash_blake2b_final(state_of(copy), out.data(), out.size());
  return out;
}

void blake2b_c::reset() {
  sodium_ready();
  length_ = 0;
  crypto_generichash_blake2b_init(state_of(state_), nullptr, 0, crypto_generichash_blake2b_BYTES_MAX);
}

}  // namespace quillary
