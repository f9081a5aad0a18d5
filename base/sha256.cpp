#include "base/sha256.h"

#include <algorithm>
#include <cstring>

#include "base/ascii_text.h"
#include "base/block_feed.h"
#include "base/md5.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLARY_SHA256_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace quillary {
namespace {

constexpr uint32_t round_constants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t initial_state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

uint32_t rotate_right(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

uint32_t load_big_endian(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

void portable_blocks(uint32_t state[8], const uint8_t* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = load_big_endian(blocks + 4 * i);
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = rotate_right(w[i - 15], 7) ^ rotate_right(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = rotate_right(w[i - 2], 17) ^ rotate_right(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
      const uint32_t sum1 = rotate_right(e, 6) ^ rotate_right(e, 11) ^ rotate_right(e, 25);
      const uint32_t choice = (e & f) ^ (~e & g);
      const uint32_t t1 = h + sum1 + choice + round_constants[i] + w[i];
      const uint32_t sum0 = rotate_right(a, 2) ^ rotate_right(a, 13) ^ rotate_right(a, 22);
      const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
      const uint32_t t2 = sum0 + majority;
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#ifdef QUILLARY_SHA256_X86

// The SHA extensions keep the eight state words as two vectors, ABEF and
// CDGH, and do two rounds per sha256rnds2; the message schedule advances
// four words at a time with sha256msg1 and sha256msg2.
__attribute__((target("sha,sse4.1,ssse3"))) void accelerated_blocks(uint32_t state[8], const uint8_t* blocks,
                                                                      size_t count) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count > 0; --count, blocks += 64) {
    const __m128i abef_before = abef;
    const __m128i cdgh_before = cdgh;
    __m128i words[4];  // four words each: the group of rounds g uses words[g % 4]
#pragma GCC unroll 16
    for (int group = 0; group < 16; ++group) {
      __m128i& current = words[group & 3];
      if (group < 4) {
        current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group));
        current = _mm_shuffle_epi8(current, byte_swap);
      } else {
        const __m128i& previous = words[(group - 1) & 3];
        current = _mm_sha256msg1_epu32(current, words[(group - 3) & 3]);
        current = _mm_add_epi32(current, _mm_alignr_epi8(previous, words[(group - 2) & 3], 4));
        current = _mm_sha256msg2_epu32(current, previous);
      }
      __m128i schedule =
          _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&round_constants[4 * group])));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, schedule);
      schedule = _mm_shuffle_epi32(schedule, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, schedule);
    }
    abef = _mm_add_epi32(abef, abef_before);
    cdgh = _mm_add_epi32(cdgh, cdgh_before);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

bool processor_has_sha_extensions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

#endif

sha256_block_function best_blocks() {
  static const sha256_block_function best =
      sha256_accelerated_blocks() ? sha256_accelerated_blocks() : sha256_portable_blocks();
  return best;
}

}  // namespace

sha256_block_function sha256_portable_blocks() { return portable_blocks; }

sha256_block_function sha256_accelerated_blocks() {
#ifdef QUILLARY_SHA256_X86
  static const bool available = processor_has_sha_extensions();
  return available ? accelerated_blocks : nullptr;
#else
  return nullptr;
#endif
}

sha256_c::sha256_c() : sha256_c(best_blocks()) {}

sha256_c::sha256_c(sha256_block_function blocks) : blocks_(blocks) { reset(); }

void sha256_c::reset() {
  std::memcpy(state_, initial_state, sizeof state_);
  length_ = 0;
}

void sha256_c::update(const void* data, size_t size) {
  feed_blocks(buffer_, length_, static_cast<const uint8_t*>(data), size,
              [this](const uint8_t* blocks, size_t count) { blocks_(state_, blocks, count); });
  length_ += size;
}

sha256_digest sha256_c::digest() const {
  sha256_c last = *this;
  const uint64_t bits = length_ * 8;
  // 0x80, zeros up to 8 bytes before a block's end, the length in bits.
  uint8_t padding[72] = {0x80};
  const size_t zeros = (119 - length_ % 64) % 64;
  for (int i = 0; i < 8; ++i) padding[1 + zeros + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  last.update(padding, 1 + zeros + 8);
  sha256_digest digest;
  for (int i = 0; i < 32; ++i) digest[i] = static_cast<uint8_t>(last.state_[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

sha256_digest sha256_of(std::string_view data) {
  sha256_c hash;
  hash.update(data.data(), data.size());
  return hash.digest();
}

std::string to_hex(const sha256_digest& digest) { return hex_text(digest.data(), digest.size()); }

bool parse_sha256_hex(std::string_view text, sha256_digest& out) {
  if (text.size() != 64) return false;
  sha256_digest digest;
  for (size_t i = 0; i < 32; ++i) {
    const int high = hex_digit_value(text[2 * i]);
    const int low = hex_digit_value(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<uint8_t>(high << 4 | low);
  }
  out = digest;
  return true;
}

}  // namespace quillary
