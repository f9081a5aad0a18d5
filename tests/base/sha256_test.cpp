#include "base/sha256.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillary {
namespace {

// Both block functions, where the processor has the accelerated one, must
// give the digests of FIPS 180-4's examples and NIST's test vectors.
std::vector<std::pair<const char*, sha256_block_function>> block_functions() {
  std::vector<std::pair<const char*, sha256_block_function>> all = {{"portable", sha256_portable_blocks()}};
  if (sha256_accelerated_blocks()) all.emplace_back("accelerated", sha256_accelerated_blocks());
  return all;
}

std::string hex_digest(sha256_block_function blocks, std::string_view data) {
  sha256_c hash(blocks);
  hash.update(data.data(), data.size());
  return to_hex(hash.digest());
}

TEST(sha256, fips_180_4_examples_and_nist_vectors) {
  const std::string million(1000000, 'a');
  for (const auto& [name, blocks] : block_functions()) {
    SCOPED_TRACE(name);
    EXPECT_EQ(hex_digest(blocks, ""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex_digest(blocks, "abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex_digest(blocks, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex_digest(blocks, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
                                 "lmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(hex_digest(blocks, million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  }
}

TEST(sha256, both_block_functions_agree_on_every_length_around_the_padding) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>(i * 13 + 5);
  for (size_t length = 0; length <= data.size(); ++length) {
    const std::string_view part(data.data(), length);
    const std::string expected = hex_digest(sha256_portable_blocks(), part);
    for (const auto& [name, blocks] : block_functions()) {
      EXPECT_EQ(hex_digest(blocks, part), expected) << name << length;
    }
  }
}

TEST(sha256, pieces_of_any_size_give_the_digest_of_the_whole_and_digest_does_not_spend_it) {
  std::string data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>(i * 7);
  const sha256_digest whole = sha256_of(data);
  for (const size_t piece : {1, 55, 56, 63, 64, 65, 1000, 4096}) {
    sha256_c hash;
    for (size_t at = 0; at < data.size(); at += piece) {
      hash.update(data.data() + at, std::min(piece, data.size() - at));
      if (at == 0) {
        EXPECT_EQ(hash.digest(), sha256_of(data.substr(0, piece))) << "a digest on the way";
      }
    }
    EXPECT_EQ(hash.length(), data.size());
    EXPECT_EQ(hash.digest(), whole) << piece;
  }
  sha256_c hash;
  hash.update("junk", 4);
  hash.reset();
  hash.update("abc", 3);
  EXPECT_EQ(to_hex(hash.digest()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(sha256, hex_text_is_read_only_as_64_digits) {
  sha256_digest digest{};
  ASSERT_TRUE(parse_sha256_hex("BA7816BF8F01CFEA414140DE5DAE2223b00361a396177a9cb410ff61f20015ad", digest));
  EXPECT_EQ(digest, sha256_of("abc"));
  const sha256_digest before = digest;
  for (const char* bad : {"", "ba78", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a",
                          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015adf",
                          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ag",
                          " a7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}) {
    EXPECT_FALSE(parse_sha256_hex(bad, digest)) << bad;
  }
  EXPECT_EQ(digest, before) << "a refused text leaves the digest alone";
}

}  // namespace
}  // namespace quillary
