#include "base/md5.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

TEST(md5, rfc1321_test_suite) {
  EXPECT_EQ(md5_hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5_hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5_hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5_hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(md5_hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(md5_hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(md5, pieces_of_any_size_give_the_digest_of_the_whole) {
  std::string data;
  for (int i = 0; i < 1024; ++i) data += static_cast<char>(i * 7);
  const std::string whole = md5_hex(data);
  for (const size_t piece : {1, 55, 56, 63, 64, 65, 1000}) {
    md5_c md5;
    for (size_t at = 0; at < data.size(); at += piece) {
      md5.update(data.data() + at, std::min(piece, data.size() - at));
    }
    EXPECT_EQ(to_hex(md5.finish()), whole) << piece;
  }
}

}  // namespace
}  // namespace quillary
