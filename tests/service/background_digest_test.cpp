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
  EXPECT_EQ(digest.digest(), sha256_of("head" + data));
}

}  // namespace
}  // namespace quillary
