// Cabinet packages in the service: listed and their INF files read into the
// same listing as a zip archive's, by the client's rule for names, within
// the same limits; and the one entry point telling the formats apart by
// their first bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cab_builder.h"
#include "download/zip_archive.h"
#include "server/cab_archive.h"
#include "server/package_index.h"
#include "server/zip_archive.h"
#include "test_support.h"

namespace quillary::server {
namespace {

using quillary::testing::build_cabinet;
using quillary::testing::cab_compression;
using quillary::testing::cab_layout;

const std::string inf = "[Version]\nSignature=\"$Windows NT$\"\nDriverVer=06/21/2012,6.1.7600.16385\n";

class cab_archive_test : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = (folder.path() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string cabinet(const std::string& name, const cab_layout& layout) {
    return write(name, build_cabinet(layout).bytes);
  }
  quillary::testing::temp_folder_c folder;
};

TEST_F(cab_archive_test, names_and_infs_as_the_client_extracts_them) {
  cab_layout layout;
  layout.folders = {cab_compression::mszip, cab_compression::none};
  layout.files = {{"..\\up.inf", inf},
                  {"C:\\drive.inf", inf},
                  {"x64\\\\net.inf", inf},
                  {"x64\\pkg.cat", "cat", 1},
                  {"nul.inf", inf, 1},
                  {"Ger\xC3\xA4t\\g.INF", inf, 1, quillary::testing::cab_utf8_name},
                  {"Caf\xE9\\c.inf", inf, 0},  // Windows-1252, unmarked
                  {"readme.txt", std::string(70000, 'r'), 0}};
  archive_listing listing;
  std::string reason;
  ASSERT_TRUE(read_archive(cabinet("names.cab", layout), listing, reason)) << reason;
  EXPECT_EQ(listing.paths, (std::vector<std::string>{"x64/net.inf", "x64/pkg.cat", "Ger\xC3\xA4t/g.INF",
                                                     "Caf\xC3\xA9/c.inf", "readme.txt"}));
  ASSERT_EQ(listing.infs.size(), 3u);
  EXPECT_EQ(listing.infs[0].path, "x64/net.inf");
  EXPECT_EQ(listing.infs[1].path, "Ger\xC3\xA4t/g.INF") << "INF in any letter case";
  for (const auto& file : listing.infs) EXPECT_EQ(file.data, inf) << file.path;
  EXPECT_EQ(listing.refused, (std::vector<std::string>{"../up.inf", "C:/drive.inf", "nul.inf"}));
  EXPECT_TRUE(listing.unread.empty());
}

TEST_F(cab_archive_test, inf_files_past_the_limits_are_listed_but_not_read) {
  cab_layout layout;
  layout.folders = {cab_compression::mszip};
  layout.files = {{"a.inf", inf}, {"huge.inf", std::string(max_inf_size + 1, ';')}, {"b.inf", inf}, {"c.inf", inf}};
  archive_listing listing;
  std::string reason;
  // Room for two of the three small ones.
  ASSERT_TRUE(read_archive(cabinet("many.cab", layout), listing, reason, 2 * inf.size() + inf.size() / 2)) << reason;
  EXPECT_EQ(listing.paths.size(), 4u);
  ASSERT_EQ(listing.infs.size(), 2u);
  EXPECT_EQ(listing.infs[1].path, "b.inf");
  EXPECT_EQ(listing.unread, (std::vector<std::string>{"huge.inf: larger than 8 MiB, not read",
                                                      "c.inf: the archive's INF files pass 0 MiB together, not read"}));
}

TEST_F(cab_archive_test, a_damaged_cabinet_or_one_of_a_set_is_not_read) {
  cab_layout layout;
  layout.files = {{"drv\\a.inf", inf + std::string(40000, ';')}, {"drv\\b.sys", "driver"}};
  const quillary::testing::built_cabinet good = build_cabinet(layout);
  archive_listing listing;
  std::string reason;

  std::string bytes = good.bytes;
  bytes[good.blocks.at(1) + 8 + 5] ^= 1;  // within the INF's second block: its checksum fails
  EXPECT_FALSE(read_archive(write("checksum.cab", bytes), listing, reason));
  EXPECT_EQ(reason, "damaged entry drv/a.inf");
  EXPECT_TRUE(listing.infs.empty());

  EXPECT_FALSE(read_archive(write("cut.cab", good.bytes.substr(0, good.files_at + 4)), listing, reason));
  EXPECT_EQ(reason, "damaged cabinet directory");
  EXPECT_FALSE(read_archive(write("header.cab", "MSCF\0\0\0\0"), listing, reason));
  EXPECT_EQ(reason, "damaged cabinet directory");

  layout.flags = quillary::testing::cab_has_next;
  EXPECT_FALSE(read_archive(cabinet("set.cab", layout), listing, reason));
  EXPECT_NE(reason.find("set"), std::string::npos) << reason;
}

TEST_F(cab_archive_test, the_first_bytes_choose_the_reader_and_both_extensions_are_listed) {
  cab_layout layout;
  layout.files = {{"cab\\x.inf", inf}};
  cabinet("a_cabinet_named.zip", layout);
  {
    const auto source = folder.path() / "source.inf";
    std::ofstream(source, std::ios::binary) << inf;
    zip_archive_c zip;
    ASSERT_TRUE(zip.create((folder.path() / "b_zip_named.CAB").u16string()));
    ASSERT_TRUE(zip.add_file(source.u16string(), "zip/y.inf"));
    ASSERT_TRUE(zip.close());
    std::filesystem::remove(source);
  }
  cabinet("c_real.cab", layout);
  write("d_other.cabx", "MSCF");
  write("e_no_name.cab", build_cabinet(layout).bytes);
  std::filesystem::rename(folder.path() / "e_no_name.cab", folder.path() / ".cab");

  std::vector<package_file> files;
  std::vector<std::string> warnings;
  std::string reason;
  ASSERT_TRUE(list_package_files(folder.path().string(), [&](const std::string& w) { warnings.push_back(w); }, files,
                                 reason));
  std::vector<std::string> names;
  for (const auto& file : files) names.push_back(file.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a_cabinet_named.zip", "b_zip_named.CAB", "c_real.cab"}));

  archive_listing listing;
  ASSERT_TRUE(read_archive((folder.path() / "a_cabinet_named.zip").string(), listing, reason)) << reason;
  EXPECT_EQ(listing.paths, (std::vector<std::string>{"cab/x.inf"}));
  ASSERT_TRUE(read_archive((folder.path() / "b_zip_named.CAB").string(), listing, reason)) << reason;
  EXPECT_EQ(listing.paths, (std::vector<std::string>{"zip/y.inf"}));
  EXPECT_FALSE(read_cabinet_archive((folder.path() / "b_zip_named.CAB").string(), listing, reason));
  EXPECT_EQ(reason, "not a readable cabinet");
}

}  // namespace
}  // namespace quillary::server
