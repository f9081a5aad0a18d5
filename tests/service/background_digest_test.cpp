// Hashing on a thread of its own what a download writes, read back from
// the file as the writer reports it written.
#include "service/background_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/files.h"
#include "test_support.h"

namespace quillary {
namespace {

std::string pattern(size_t at_least, int step) {
  std::string data;
  for (size_t i = 0; data.size() < at_least; ++i) data += std::string(1 + i % 70000, static_cast<char>(i * step));
  return data;
}

// Appends `data` to the open file in pieces of many sizes, flushing and
// reporting each as a download's write path does.
void write_in_pieces(std::FILE* file, uint64_t before, const std::string& data, background_digest_c& hashing) {
  size_t at = 0;
  for (size_t piece = 1; at < data.size(); piece = piece * 7 % 300007 + 1) {
    const size_t size = std::min(piece, data.size() - at);
    ASSERT_EQ(std::fwrite(data.data() + at, 1, size, file), size);
    ASSERT_EQ(std::fflush(file), 0);
    at += size;
    hashing.written(before + at, data.data() + at - size, size);
  }
}

TEST(background_digest, hashes_the_file_after_what_the_digest_holds_already) {
  quillary::testing::temp_folder_c folder;
  const std::u16string path = folder.path().u16string() + u"/package.bin";
  // Several batches and a part of one, after what an earlier attempt wrote
  // and hashed.
  const std::string data = pattern(3 * background_digest_c::batch + 12345, 31);
  std::FILE* file = platform::open_file(path, "wb");
  ASSERT_TRUE(file);
  std::fwrite("head", 1, 4, file);
  std::fflush(file);
  package_digest_c digest;
  digest.update("head", 4);
  {
    background_digest_c hashing(digest, path);
    write_in_pieces(file, 4, data, hashing);
    hashing.finish();
    EXPECT_EQ(digest.length(), 4 + data.size()) << "all of it in once finish returns";
  }
  std::fclose(file);
  EXPECT_EQ(digest.sha256(), sha256_of("head" + data));
}

TEST(background_digest, a_signed_packages_blake2b_comes_out_as_hashed_at_once) {
  quillary::testing::temp_folder_c folder;
  const std::u16string path = folder.path().u16string() + u"/package.bin";
  const std::string data = pattern(2 * background_digest_c::batch + 777, 17);
  std::FILE* file = platform::open_file(path, "wb");
  ASSERT_TRUE(file);
  package_digest_c digest(digest_kind::blake2b);
  {
    background_digest_c hashing(digest, path);
    write_in_pieces(file, 0, data, hashing);
  }  // finished by its end
  std::fclose(file);
  blake2b_c alone;
  alone.update(data.data(), data.size());
  ASSERT_TRUE(digest.blake2b());
  EXPECT_EQ(*digest.blake2b(), alone.digest());
  EXPECT_EQ(digest.length(), data.size());
  EXPECT_FALSE(digest.sha256()) << "one hash of each byte, not two";
}

// A file it cannot read is hashed from the bytes as they are written; one
// that reads back short of what was reported leaves a digest of nothing,
// which vouches for no file.
TEST(background_digest, an_unreadable_file_is_hashed_as_written_and_a_short_one_not_at_all) {
  quillary::testing::temp_folder_c folder;
  const std::string data = pattern(background_digest_c::batch + 999, 7);
  {
    package_digest_c digest;
    background_digest_c hashing(digest, folder.path().u16string() + u"/missing/package.bin");
    for (size_t at = 0; at < data.size(); at += 65536) {
      hashing.written(std::min(at + 65536, data.size()), data.data() + at, std::min<size_t>(65536, data.size() - at));
    }
    hashing.finish();
    EXPECT_EQ(digest.sha256(), sha256_of(data));
  }
  const std::u16string path = folder.path().u16string() + u"/short.bin";
  std::FILE* file = platform::open_file(path, "wb");
  ASSERT_TRUE(file);
  std::fwrite(data.data(), 1, data.size(), file);
  std::fflush(file);
  package_digest_c digest;
  background_digest_c hashing(digest, path);
  hashing.written(data.size() + 10, data.data(), data.size());  // ten bytes more than the file holds
  hashing.finish();
  std::fclose(file);
  EXPECT_EQ(digest.length(), 0u);
}

}  // namespace
}  // namespace quillary
