// Hashing on a thread of its own what a download writes.
#include "service/background_digest.h"

#include <gtest/gtest.h>

#include <string>

namespace quillary {
namespace {

TEST(background_digest, gives_the_digest_of_everything_added_in_order) {
  // More than the queue holds, in pieces of many sizes, so that adding
  // waits for the thread now and then.
  std::string data;
  for (size_t i = 0; data.size() < 3 * background_digest_c::max_queued; ++i) {
    data += std::string(1 + i % 70000, static_cast<char>(i * 31));
  }
  package_digest_c digest;
  digest.update("head", 4);  // what an earlier attempt had hashed stays first
  {
    background_digest_c hashing(digest);
    size_t at = 0;
    for (size_t piece = 1; at < data.size(); piece = piece * 7 % 300007 + 1) {
      const size_t size = std::min(piece, data.size() - at);
      hashing.add(data.data() + at, size);
      at += size;
    }
    hashing.finish();
    EXPECT_EQ(digest.length(), 4 + data.size()) << "all of it in once finish returns";
  }
  EXPECT_EQ(digest.sha256(), sha256_of("head" + data));
}

TEST(background_digest, a_signed_packages_blake2b_comes_out_as_hashed_at_once) {
  std::string data;
  for (size_t i = 0; data.size() < 2 * background_digest_c::max_queued + 12345; ++i) {
    data += std::string(1 + i % 90001, static_cast<char>(i * 17));
  }
  package_digest_c digest(digest_kind::blake2b);
  {
    background_digest_c hashing(digest);
    for (size_t at = 0; at < data.size(); at += 65536) hashing.add(data.data() + at, std::min<size_t>(65536, data.size() - at));
  }
  blake2b_c alone;
  alone.update(data.data(), data.size());
  ASSERT_TRUE(digest.blake2b());
  EXPECT_EQ(*digest.blake2b(), alone.digest());
  EXPECT_EQ(digest.length(), data.size());
  EXPECT_FALSE(digest.sha256()) << "one hash of each byte, not two";
}

}  // namespace
}  // namespace quillary
