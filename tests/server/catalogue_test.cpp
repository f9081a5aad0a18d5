// Indexing a catalogue folder, and matching devices against the catalogue.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/matcher.h"
#include "server_test_support.h"
#include "test_support.h"

namespace quillary::server {
namespace {

using testing::add_memory_package;
using testing::small_inf;

const std::string good_inf = small_inf("%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = Install, PCI\\VEN_1E0B&DEV_4A21\n");

TEST(CatalogueFolder, BrokenArchivesAndMalformedInfsAreSkipped) {
  quillary::testing::temp_folder_c folder;
  const auto at = [&](const char* name) { return (folder.path() / name).string(); };
  ASSERT_TRUE(testing::write_zip(at("b_good.zip"), {{"drv/net.inf", good_inf}, {"drv/pkg.cat", "cat"}}));
  ASSERT_TRUE(testing::write_zip(at("a_mixed.ZIP"), {{"bad.inf", "[Version\n"}, {"win7\\good.INF", good_inf}}));
  ASSERT_TRUE(testing::write_zip(at("c_noinf.zip"), {{"readme.txt", "no driver here"}}));
  std::ofstream(at("d_broken.zip")) << "PK\x03\x04 this is not really a zip archive";
  ASSERT_TRUE(testing::write_zip(at("e_other.txt"), {{"x.inf", good_inf}}));
  std::filesystem::create_directory(at("f_folder.zip"));

  catalogue_builder_c builder;
  std::vector<std::string> warnings;
  std::string reason;
  ASSERT_TRUE(builder.index_folder(folder.path().string(),
                                   [&](const std::string& line) { warnings.push_back(line); }, reason));
  const auto catalogue = builder.build(folder.path().string());
  ASSERT_EQ(catalogue->package_count(), 2u);
  EXPECT_EQ(catalogue->package(0).file_name, "a_mixed.ZIP");
  EXPECT_EQ(catalogue->package(1).file_name, "b_good.zip");
  EXPECT_EQ(catalogue->package(1).size, std::filesystem::file_size(at("b_good.zip")));
  ASSERT_EQ(catalogue->inf_count(), 2u);
  EXPECT_EQ(catalogue->inf(0).path, "win7/good.INF");  // separators as '/'
  EXPECT_EQ(warnings, (std::vector<std::string>{"a_mixed.ZIP: bad.inf: unclosed section header on line 1",
                                                "c_noinf.zip: no usable INF file",
                                                "d_broken.zip: not a readable zip archive"}));
  ASSERT_TRUE(catalogue->find_package("b_good.zip"));
  EXPECT_EQ(catalogue->find_package("b_good.zip")->file_path, at("b_good.zip"));
  EXPECT_FALSE(catalogue->find_package("B_GOOD.zip"));
  EXPECT_FALSE(catalogue->find_package("c_noinf.zip"));
  EXPECT_FALSE(builder.index_folder(at("missing"), [](const std::string&) {}, reason));
}

TEST(CatalogueFolder, InfFilesPastTheArchiveTotalAreListedButNotRead) {
  quillary::testing::temp_folder_c folder;
  const std::string zip = (folder.path() / "many.zip").string();
  ASSERT_TRUE(testing::write_zip(zip, {{"a.inf", good_inf}, {"b.inf", good_inf}, {"c.inf", good_inf}}));
  archive_listing listing;
  std::string reason;
  // Room for two of the three.
  ASSERT_TRUE(read_archive(zip, listing, reason, 2 * good_inf.size() + good_inf.size() / 2)) << reason;
  EXPECT_EQ(listing.paths.size(), 3u);
  ASSERT_EQ(listing.infs.size(), 2u);
  EXPECT_EQ(listing.infs[1].path, "b.inf");

  catalogue_builder_c builder;
  std::vector<std::string> warnings;
  ASSERT_TRUE(builder.add_package(package_file{"many.zip", 1000, 0, {}, {}}, listing,
                                  [&](const std::string& line) { warnings.push_back(line); }, reason));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("many.zip: c.inf: ", 0), 0u) << warnings[0];
  EXPECT_EQ(builder.build()->inf_count(), 2u);
}

// An INF entry is read only whole and as written, stored or deflated:
// its bytes altered, or its size told otherwise in both of its headers.
TEST(CatalogueFolder, DamagedZipEntriesAreNotRead) {
  quillary::testing::temp_folder_c folder;
  const std::string zip = (folder.path() / "one.zip").string();
  const auto read_bytes = [&] {
    std::ifstream in(zip, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const auto write_bytes = [&](const std::string& bytes) { std::ofstream(zip, std::ios::binary) << bytes; };
  const auto add_to_u32 = [](std::string& bytes, size_t at, int delta) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    value += static_cast<uint32_t>(delta);
    std::memcpy(bytes.data() + at, &value, 4);
  };
  for (const int method : {0, Z_DEFLATED}) {
    SCOPED_TRACE(method);
    ASSERT_TRUE(testing::write_zip(zip, {{"a.inf", good_inf}}, method));
    const std::string good = read_bytes();
    archive_listing listing;
    std::string reason;
    ASSERT_TRUE(read_archive(zip, listing, reason)) << reason;
    ASSERT_EQ(listing.infs.size(), 1u);
    EXPECT_EQ(listing.infs[0].data, good_inf);

    std::string altered = good;
    altered[30 + 5 + 20] ^= 0x04;  // within the entry's data, past its local header and name
    write_bytes(altered);
    EXPECT_FALSE(read_archive(zip, listing, reason));
    EXPECT_EQ(reason, "damaged entry a.inf");

    // One byte more than there is, in the local header and the directory alike.
    for (const int delta : {1, -1}) {
      std::string resized = good;
      add_to_u32(resized, 22, delta);
      add_to_u32(resized, resized.find("PK\x01\x02") + 24, delta);
      write_bytes(resized);
      EXPECT_FALSE(read_archive(zip, listing, reason)) << delta;
      EXPECT_EQ(reason, "damaged entry a.inf");
    }
  }
}

// The client extracts a package by the shared rule for entry names: an INF
// file it would not extract must give no offer, and the paths listed are
// where its extraction puts the files.
TEST(CatalogueFolder, EntryNamesFollowTheClientsExtraction) {
  quillary::testing::temp_folder_c folder;
  const std::string zip = (folder.path() / "names.zip").string();
  const std::string long_folder(1500, 'd');
  ASSERT_TRUE(testing::write_zip(zip, {{"../up.inf", good_inf},
                                       {"C:\\drive.inf", good_inf},
                                       {"x64\\\\net.inf", good_inf},
                                       {"x64//pkg.cat", "cat"},
                                       {long_folder + "/long.inf", good_inf},
                                       {"nul.inf", good_inf}}));
  archive_listing listing;
  std::string reason;
  ASSERT_TRUE(read_archive(zip, listing, reason)) << reason;
  EXPECT_EQ(listing.paths, (std::vector<std::string>{"x64/net.inf", "x64/pkg.cat", long_folder + "/long.inf"}));
  ASSERT_EQ(listing.infs.size(), 2u);
  EXPECT_EQ(listing.infs[0].path, "x64/net.inf");
  EXPECT_EQ(listing.infs[1].path, long_folder + "/long.inf") << "a name is read whole, however long";
  EXPECT_EQ(listing.refused, (std::vector<std::string>{"../up.inf", "C:/drive.inf", "nul.inf"}));

  catalogue_builder_c builder;
  std::vector<std::string> warnings;
  ASSERT_TRUE(builder.add_package(package_file{"names.zip", 1000, 0, {}, {}}, listing,
                                  [&](const std::string& line) { warnings.push_back(line); }, reason));
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[0], "names.zip: ../up.inf: a name that would land outside the package's folder, left out");
  EXPECT_EQ(builder.build()->inf_count(), 2u);
}

TEST(CatalogueFolder, SignedOnlyWhenTheCatalogFileIsBesideTheInf) {
  catalogue_builder_c catalogue;
  ASSERT_TRUE(add_memory_package(catalogue, "a.zip", {{"x64/net.inf", good_inf}, {"X64/PKG.CAT", ""}}));
  ASSERT_TRUE(add_memory_package(catalogue, "b.zip", {{"x64/net.inf", good_inf}, {"pkg.cat", ""}}));
  ASSERT_TRUE(add_memory_package(catalogue, "c.zip", {{"net.inf", small_inf("%Maker%=M,NTamd64",
                                                      "[M.NTamd64]\nA=I,ID\n", "1/1/2010,1.0", "")},
                                                      {"pkg.cat", ""}}));
  const auto built = catalogue.build();
  const auto first_section_signed = [&](uint32_t inf) {
    return built->section(built->manufacturer(built->inf(inf).first_manufacturer).first_section).is_signed;
  };
  EXPECT_TRUE(first_section_signed(0));
  EXPECT_FALSE(first_section_signed(1));
  EXPECT_FALSE(first_section_signed(2));  // no CatalogFile directive
}

// --- Matching ---------------------------------------------------------------

class Matching : public ::testing::Test {
 protected:
  std::vector<offer> match(const char* os, const std::vector<std::string>& hardware,
                           const std::vector<std::string>& compatible = {}) {
    device_ids ids;
    ids.ids = hardware;
    ids.compatible_from = hardware.size();
    ids.ids.insert(ids.ids.end(), compatible.begin(), compatible.end());
    ids.raw_ids = ids.ids;
    if (!built) built = catalogue.build();
    return match_device(*built, client_os_for(os), ids);
  }
  static std::vector<std::string> names(const std::vector<offer>& offers) {
    std::vector<std::string> out;
    for (const auto& o : offers) out.push_back(std::string(o.package.file_name) + ":" + std::string(o.inf.path));
    return out;
  }
  catalogue_builder_c catalogue;  // packages are added until the first match
  std::shared_ptr<const catalogue_c> built;
};

TEST_F(Matching, ArchitectureAndVersionDecideWhichSectionCounts) {
  ASSERT_TRUE(add_memory_package(catalogue, "x86only.zip",
                                 {{"a.inf", small_inf("%Maker%=M", "[M]\nA=I,PCI\\VEN_1&DEV_2\n")}}));
  ASSERT_TRUE(add_memory_package(
      catalogue, "win7.zip",
      {{"a.inf", small_inf("%Maker%=M,NTamd64.6.1,NTx86.6.1", "[M.NTamd64.6.1]\nA=I,PCI\\VEN_1&DEV_2\n"
                                                               "[M.NTx86.6.1]\nA=I,PCI\\VEN_1&DEV_2\n")}}));
  // The most specific section hides the older one even if only the older
  // one names the device.
  ASSERT_TRUE(add_memory_package(
      catalogue, "split.zip",
      {{"a.inf", small_inf("%Maker%=M,NTamd64,NTamd64.6.0", "[M.NTamd64]\nA=I,PCI\\VEN_1&DEV_2\n"
                                                             "[M.NTamd64.6.0]\nA=I,PCI\\VEN_1&DEV_3\n")}}));
  EXPECT_EQ(names(match("WINXP", {"PCI\\VEN_1&DEV_2"})), (std::vector<std::string>{"x86only.zip:a.inf"}));
  EXPECT_EQ(names(match("WIN7", {"PCI\\VEN_1&DEV_2"})),
            (std::vector<std::string>{"win7.zip:a.inf", "x86only.zip:a.inf"}));
  EXPECT_EQ(names(match("WIN764", {"PCI\\VEN_1&DEV_2"})), (std::vector<std::string>{"win7.zip:a.inf"}));
  EXPECT_EQ(names(match("WINXP64", {"PCI\\VEN_1&DEV_2"})), (std::vector<std::string>{"split.zip:a.inf"}));
  EXPECT_EQ(names(match("VISTA", {"PCI\\VEN_1&DEV_2"})), (std::vector<std::string>{"x86only.zip:a.inf"}));
  EXPECT_TRUE(match("VISTA64", {"PCI\\VEN_1&DEV_2"}).empty());
  EXPECT_TRUE(match("NOT_SUPPORTED", {"PCI\\VEN_1&DEV_2"}).empty());
}

TEST_F(Matching, IdsCompareWithoutCaseAndRankByKindAndPosition) {
  ASSERT_TRUE(add_memory_package(
      catalogue, "p.zip",
      {{"hw.inf", small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,usb\\vid_2a1e&pid_0c11&mi_00\n")},
       {"compat.inf", small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,USB\\Class_0E&SubClass_03\n")},
       {"modelcompat.inf", small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,USB\\VID_FFFF,USB\\VID_2A1E&PID_0C11\n")},
       {"both.inf", small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,USB\\Class_0E\nB=I,USB\\VID_2A1E&PID_0C11&MI_00\n")},
       {"none.inf", small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,USB\\Class_FF\n")}}));
  const auto offers = match("WIN764", {"USB\\VID_2A1E&PID_0C11&REV_0100&MI_00", "USB\\VID_2A1E&PID_0C11&MI_00",
                                       "USB\\VID_2A1E&PID_0C11"},
                            {"USB\\Class_0E&SubClass_03&Prot_00", "USB\\Class_0E&SubClass_03", "USB\\Class_0E"});
  ASSERT_EQ(offers.size(), 4u);
  // Best rank first: hardware ID 1, hardware ID 1 (via the INF's other model
  // line), hardware ID 2 against an INF compatible ID, compatible ID 1.
  EXPECT_EQ(offers[0].inf.path, "hw.inf");
  EXPECT_EQ(offers[0].rank, 1u);
  EXPECT_EQ(offers[0].matched_id, "USB\\VID_2A1E&PID_0C11&MI_00");  // the device's spelling
  EXPECT_EQ(offers[1].inf.path, "both.inf");
  EXPECT_EQ(offers[1].rank, 1u);
  EXPECT_EQ(offers[1].model.description, "B");
  EXPECT_EQ(offers[2].inf.path, "modelcompat.inf");
  EXPECT_EQ(offers[2].rank, 0x1002u);
  EXPECT_EQ(offers[3].inf.path, "compat.inf");
  EXPECT_EQ(offers[3].rank, 0x2001u);
  EXPECT_EQ(match_rank(true, true, 5000), 0x3FFFu);
}

TEST_F(Matching, OffersAreOrderedAsTheClientRanksThem) {
  const auto package = [&](const char* name, const char* decoration, const char* driver_ver, bool is_signed) {
    const std::string section = std::string("M.") + decoration;
    ASSERT_TRUE(add_memory_package(catalogue, name,
                                   {{"a.inf", small_inf(std::string("%Maker%=M,") + decoration,
                                                        "[" + section + "]\nA=I,PCI\\VEN_1&DEV_2\n", driver_ver,
                                                        is_signed ? "CatalogFile=a.cat\n" : "")},
                                    {"a.cat", ""}}));
  };
  package("old52.zip", "NTamd64", "1/1/2010,1.0", true);
  package("unsigned61.zip", "NTamd64.6.1", "1/1/2013,3.0", false);
  package("signed61_old.zip", "NTamd64.6.1", "1/1/2011,2.0", true);
  package("signed61_new.zip", "NTamd64.6.1", "1/1/2012,2.0", true);
  package("signed61_newver.zip", "NTamd64.6.1", "1/1/2012,2.0.1", true);
  package("vista60.zip", "NTamd64.6.0", "1/1/2014,9.0", true);
  EXPECT_EQ(names(match("WIN764", {"PCI\\VEN_1&DEV_2"})),
            (std::vector<std::string>{"signed61_newver.zip:a.inf", "signed61_new.zip:a.inf",
                                      "signed61_old.zip:a.inf", "unsigned61.zip:a.inf", "vista60.zip:a.inf",
                                      "old52.zip:a.inf"}));
}

TEST(VersionCompare, NumbersNotText) {
  EXPECT_LT(compare_versions("6.1.7600.16385", "6.1.7601"), 0);
  EXPECT_GT(compare_versions("10.0", "9.17"), 0);
  EXPECT_EQ(compare_versions("1.0", "1.0.0.0"), 0);
}

}  // namespace
}  // namespace quillary::server
