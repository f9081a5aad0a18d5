// Download sessions: file names, start states from the files on disk,
// removal, and the registry; without network.
#include <gtest/gtest.h>

#include <fstream>

#include "app/md5.h"
#include "download/download_session.h"
#include "platform/files.h"
#include "platform/text.h"
#include "test_support.h"

namespace quillary {
namespace {

void write_file(const std::u16string& path, size_t size) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << std::string(size, 'x');
}

class session_files : public ::testing::Test {
 protected:
  testing::temp_folder_c folder;
  download_registry_c registry{folder.text()};
};

TEST(download_paths, named_by_the_md5_of_the_last_component) {
  const auto paths = paths_for_link("http://h.example/drivers/abc.zip", u"D");
  const std::u16string base = platform::join_path(u"D", ascii_to_utf16(md5_hex("abc.zip")));
  EXPECT_EQ(paths.final_path, base + u".zip");
  EXPECT_EQ(paths.temp_path, base + u".zip.tmp");
  // Two links with the same last component share their files.
  EXPECT_EQ(paths_for_link("ftp://other/abc.zip", u"D").final_path, paths.final_path);
}

TEST(download_paths, without_an_extension_the_program_extension_is_taken) {
  const auto base = platform::join_path(u"D", ascii_to_utf16(md5_hex("setup")));
  EXPECT_EQ(paths_for_link("http://127.0.0.1:8080/get/setup", u"D").final_path, base + u".exe")
      << "a dot in the host is no extension";
  EXPECT_EQ(paths_for_link("http://host/setup", u"D").temp_path, base + u".exe.tmp");
  const auto query = platform::join_path(u"D", ascii_to_utf16(md5_hex("pkg.zip?id=5")));
  EXPECT_EQ(paths_for_link("http://host/pkg.zip?id=5", u"D").final_path, query + u".zip")
      << "the query is no part of the extension";
}

TEST_F(session_files, the_start_state_comes_from_the_files_on_disk) {
  const std::string link = "http://h/a.zip";
  const auto paths = paths_for_link(link, folder.text());
  write_file(paths.final_path, 300);
  {
    download_registry_c fresh(folder.text());
    auto s = fresh.find_or_create(link, 1000);
    EXPECT_EQ(s->state(), download_state::complete);
    EXPECT_EQ(s->progress().written, 300u);
  }
  write_file(paths.temp_path, 120);
  auto s = registry.find_or_create(link, 1000);
  EXPECT_EQ(s->state(), download_state::paused) << "a partial file wins over a complete one";
  EXPECT_EQ(s->progress().written, 120u);
  EXPECT_EQ(registry.find_or_create(link, 5), s) << "the same link finds the same session";
  EXPECT_EQ(s->progress().expected_size, 1000u);
  EXPECT_EQ(registry.find_or_create("http://h/b.zip", 1)->state(), download_state::not_downloaded);
  EXPECT_EQ(registry.sessions().size(), 2u);
}

TEST_F(session_files, remove_deletes_the_file_of_the_state) {
  const std::string link = "http://h/c.zip";
  const auto paths = paths_for_link(link, folder.text());
  write_file(paths.temp_path, 10);
  write_file(paths.final_path, 20);
  auto s = registry.find_or_create(link, 20);
  ASSERT_EQ(s->state(), download_state::paused);
  EXPECT_TRUE(s->remove());
  EXPECT_FALSE(platform::file_exists(paths.temp_path));
  EXPECT_TRUE(platform::file_exists(paths.final_path)) << "paused: only the partial file goes";
  EXPECT_EQ(s->state(), download_state::not_downloaded);
  EXPECT_EQ(s->progress().written, 0u);
  EXPECT_FALSE(s->remove()) << "nothing to remove";

  download_registry_c again(folder.text());
  auto complete = again.find_or_create(link, 20);
  ASSERT_EQ(complete->state(), download_state::complete);
  EXPECT_TRUE(complete->remove());
  EXPECT_FALSE(platform::file_exists(paths.final_path));
}

TEST_F(session_files, long_links_are_kept_whole) {
  const std::string link = "http://h/" + std::string(2000, 'a') + ".zip";
  auto s = registry.find_or_create(link, 1);
  EXPECT_EQ(s->link(), link);
  EXPECT_EQ(registry.find_or_create(link, 1), s);
}

}  // namespace
}  // namespace quillary
