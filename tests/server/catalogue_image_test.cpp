// The catalogue's image: built in memory, written as an index file, mapped
// again; damaged files refused; packages changed since their indexing
// withdrawn.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/matcher.h"
#include "server/package_signature.h"
#include "server/update_reply.h"
#include "server_test_support.h"
#include "test_support.h"

namespace quillary::server {
namespace {

namespace fs = std::filesystem;
using testing::small_inf;

// A signature file as minisign writes one (the service checks its shape
// only).
const std::string signature =
    "untrusted comment: signature from minisign secret key\n"
    "RUQ47DlEOlAPC8gw6K1tupZ9eLsP+933/cnZ81XwoHdRRHytK8i0uuTLUpUZm5lk2urkmz4Kkhg284+xC042if7w6gwMiEU2ZwQ=\n"
    "trusted comment: timestamp:1700000000\tfile:a_usb.zip\tsha256:0\n"
    "AETalPe39mDmyO6Pqpmx2LheNGliHBFVUVlVx9cwhTuouYP0nVi4LY21VTkFiBj9NPj4WxyrWEF9vFcoCsddDA==\n";

void write_all(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What a device is offered, as names and ranks, to compare two catalogues.
std::vector<std::string> offers_for(const catalogue_c& catalogue, const std::vector<std::string>& hardware,
                                    const std::vector<std::string>& compatible, const char* os = "WIN764") {
  device_ids ids;
  ids.ids = hardware;
  ids.compatible_from = hardware.size();
  ids.ids.insert(ids.ids.end(), compatible.begin(), compatible.end());
  ids.raw_ids = ids.ids;
  std::vector<std::string> out;
  for (const offer& o : match_device(catalogue, client_os_for(os), ids)) {
    out.push_back(std::string(o.package.file_name) + ":" + std::string(o.inf.path) + ":" +
                  std::string(o.model.description) + ":" + std::to_string(o.rank) + (o.is_signed ? ":signed" : ""));
  }
  return out;
}

class CatalogueImage : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto at = [&](const char* name) { return (folder.path() / name).string(); };
    ASSERT_TRUE(testing::write_zip(
        at("b_net.zip"),
        {{"x64/net.inf", small_inf("%Maker% = M, NTamd64, NTamd64.6.1, NTx86",
                                   "[M.NTamd64]\n%Desc% = I, PCI\\VEN_1E0B&DEV_4A21, PCI\\VEN_1E0B\n"
                                   "[M.NTamd64.6.1]\n\"Seven\" = I, PCI\\VEN_1E0B&DEV_4A21\n"
                                   "[M.NTx86]\n%Desc% = I, PCI\\VEN_1E0B&DEV_4A21\n")},
         {"x64/pkg.cat", "cat"}}));
    ASSERT_TRUE(testing::write_zip(
        at("a_usb.zip"), {{"usb.inf", small_inf("%Maker% = M, NTamd64",
                                                "[M.NTamd64]\nA = I, USB\\VID_2A1E&PID_0C11, USB\\Class_0E\n"
                                                "B = I, usb\\class_0e\n",
                                                "1/1/2020,2.0")}}));
    write_all(folder.path() / "a_usb.zip.minisig", signature);
    builder.index_folder(folder.path().string(), [](const std::string&) {}, reason);
    image = builder.finish().bytes();
    ASSERT_FALSE(image.empty());
  }

  quillary::testing::temp_folder_c folder;
  catalogue_builder_c builder;
  std::string image, reason;
};

TEST_F(CatalogueImage, AMappedIndexFileAnswersAsTheCatalogueInMemory) {
  const auto in_memory = catalogue_c::from_bytes(image, folder.path().string(), reason);
  ASSERT_TRUE(in_memory) << reason;
  const std::string index = (folder.path() / "catalogue.index").string();
  ASSERT_TRUE(write_catalogue_image(index, image, reason)) << reason;
  EXPECT_FALSE(fs::exists(index + ".new"));
  const auto mapped = catalogue_c::map_file(index, folder.path().string(), reason);
  ASSERT_TRUE(mapped) << reason;

  ASSERT_EQ(mapped->package_count(), 2u);
  ASSERT_EQ(mapped->inf_count(), 2u);
  EXPECT_EQ(mapped->package(0).file_name, "a_usb.zip");
  EXPECT_EQ(mapped->package(0).minisig, signature);
  EXPECT_EQ(mapped->package(1).sha256.size(), 64u);
  EXPECT_EQ(mapped->inf(1).path, "x64/net.inf");
  EXPECT_EQ(mapped->inf(1).date, "2012-06-21");
  for (const auto& [hardware, compatible] :
       std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>{
           {{"PCI\\VEN_1E0B&DEV_4A21&SUBSYS_1"}, {"PCI\\VEN_1E0B&DEV_4A21"}},
           {{"usb\\vid_2a1e&pid_0c11"}, {"USB\\CLASS_0E"}},
           {{"PCI\\VEN_1E0B"}, {}},
           {{"PCI\\VEN_FFFF"}, {}}}) {
    EXPECT_EQ(offers_for(*mapped, hardware, compatible), offers_for(*in_memory, hardware, compatible));
  }
  // What the decorations and the catalog file decide is kept: the most
  // specific section for Windows 7, signed because pkg.cat lies beside it.
  EXPECT_EQ(offers_for(*mapped, {"PCI\\VEN_1E0B&DEV_4A21"}, {}),
            (std::vector<std::string>{"b_net.zip:x64/net.inf:Seven:0:signed"}));
  EXPECT_EQ(offers_for(*mapped, {"PCI\\VEN_1E0B&DEV_4A21"}, {}, "WIN7"),
            (std::vector<std::string>{"b_net.zip:x64/net.inf:Norvik Adapter:0:signed"}));
  // Two models of one INF naming the same ID: the better-ranked one (B's
  // hardware ID against A's compatible ID).
  EXPECT_EQ(offers_for(*mapped, {"USB\\VID_FFFF"}, {"USB\\Class_0E"}),
            (std::vector<std::string>{"a_usb.zip:usb.inf:B:8192"}));

  const auto package = mapped->find_package("a_usb.zip");
  ASSERT_TRUE(package);
  EXPECT_EQ(package->file_path, (folder.path() / "a_usb.zip").string());
  EXPECT_EQ(package->minisig, signature);
  EXPECT_FALSE(mapped->find_package("A_USB.zip"));
  EXPECT_FALSE(mapped->find_package("c.zip"));
  EXPECT_EQ(mapped->package_files()[0].modified, in_memory->package_files()[0].modified);
}

TEST_F(CatalogueImage, AnIndexWrittenAgainLeavesTheMappedOneAsItWas) {
  const std::string index = (folder.path() / "catalogue.index").string();
  ASSERT_TRUE(write_catalogue_image(index, image, reason)) << reason;
  const auto first = catalogue_c::map_file(index, folder.path().string(), reason);
  ASSERT_TRUE(first) << reason;
  catalogue_builder_c empty;
  ASSERT_TRUE(write_catalogue_image(index, empty.finish().bytes(), reason)) << reason;
  const auto second = catalogue_c::map_file(index, folder.path().string(), reason);
  ASSERT_TRUE(second) << reason;
  EXPECT_EQ(second->package_count(), 0u);
  EXPECT_TRUE(offers_for(*second, {"PCI\\VEN_1E0B&DEV_4A21"}, {}).empty());
  // Requests under way on the first keep their catalogue whole.
  EXPECT_EQ(first->package_count(), 2u);
  EXPECT_EQ(offers_for(*first, {"PCI\\VEN_1E0B&DEV_4A21"}, {}).size(), 1u);
}

TEST_F(CatalogueImage, DamagedIndexFilesAreRefused) {
  const auto refused = [&](std::string bytes, const char* expected) {
    std::string why;
    EXPECT_FALSE(catalogue_c::from_bytes(std::move(bytes), {}, why)) << expected;
    EXPECT_NE(why.find(expected), std::string::npos) << why;
  };
  refused(image.substr(0, image.size() - 1), "cut to");
  refused(image.substr(0, 20), "too short");
  refused("quillary-package-index 2\n" + std::string(300, 'x'), "not a catalogue index");
  std::string other_format = image;
  other_format[32] = 9;
  refused(other_format, "another format");
  // The hits table said to lie past the end.
  image::header head{};
  std::memcpy(&head, image.data(), sizeof head);
  head.tables[image::hits].count = head.file_size;
  std::string beyond = image;
  std::memcpy(beyond.data(), &head, sizeof head);
  refused(beyond, "outside the file");

  const std::string missing = (folder.path() / "none.index").string();
  EXPECT_FALSE(catalogue_c::map_file(missing, {}, reason));
  EXPECT_NE(reason.find("cannot open"), std::string::npos) << reason;
}

TEST_F(CatalogueImage, PackagesChangedSinceTheirIndexingAreNotOffered) {
  const auto catalogue = catalogue_c::from_bytes(image, folder.path().string(), reason);
  ASSERT_TRUE(catalogue) << reason;
  std::ofstream(folder.path() / "b_net.zip", std::ios::app) << "appended";
  std::vector<std::string> warnings;
  catalogue->withdraw_changed_packages([&](const std::string& line) { warnings.push_back(line); });
  EXPECT_EQ(warnings, (std::vector<std::string>{"b_net.zip: gone or changed since it was indexed"}));
  EXPECT_EQ(catalogue->offered_package_count(), 1u);
  EXPECT_FALSE(catalogue->find_package("b_net.zip"));
  EXPECT_TRUE(offers_for(*catalogue, {"PCI\\VEN_1E0B&DEV_4A21"}, {}).empty());
  EXPECT_EQ(offers_for(*catalogue, {"USB\\VID_2A1E&PID_0C11"}, {}).size(), 1u);
}

// The texts of [Strings.LLLL] sections travel in the image, and the reply
// takes the client's language from them.
TEST(CatalogueImageTexts, LocalizedDescriptionsAndProvidersReachTheReply) {
  catalogue_builder_c builder;
  const std::string inf = small_inf("%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = I, PCI\\VEN_1E0B&DEV_4A21\n") +
                          "[Strings.0411]\nMaker=\"\xE3\x83\x8E\xE3\x83\xAB\"\nDesc=\"\xE3\x82\xAB\xE3\x83\xBC\xE3\x83\x89\"\n";
  ASSERT_TRUE(testing::add_memory_package(builder, "p.zip", {{"a.inf", "\xEF\xBB\xBF" + inf}}));
  const auto catalogue = builder.build();
  device_ids ids;
  ids.ids = ids.raw_ids = {"PCI\\VEN_1E0B&DEV_4A21"};
  ids.compatible_from = 1;
  const auto offers = match_device(*catalogue, client_os_for("WIN764"), ids);
  ASSERT_EQ(offers.size(), 1u);
  const item_values japanese = make_item_values(offers[0], "http://h/", 0x0411);
  EXPECT_EQ(japanese.desc, "\xE3\x82\xAB\xE3\x83\xBC\xE3\x83\x89");
  EXPECT_EQ(japanese.manu, "\xE3\x83\x8E\xE3\x83\xAB");
  const item_values neutral = make_item_values(offers[0], "http://h/");
  EXPECT_EQ(neutral.desc, "Norvik Adapter");
  EXPECT_EQ(neutral.manu, "Norvik Networks");
  EXPECT_EQ(make_item_values(offers[0], "http://h/", 0x0407).desc, "Norvik Adapter");
}

TEST(StringPool, EachTextIsKeptOnceAndFoundAgainAfterGrowing) {
  string_pool_c pool;
  uint32_t empty = 1, first = 0, again = 0;
  ASSERT_TRUE(pool.add("", empty));
  EXPECT_EQ(empty, 0u);
  ASSERT_TRUE(pool.add("PCI\\VEN_1", first));
  std::vector<uint32_t> offsets;
  for (int i = 0; i < 5000; ++i) {
    uint32_t offset = 0;
    ASSERT_TRUE(pool.add("text " + std::to_string(i), offset));
    offsets.push_back(offset);
  }
  ASSERT_TRUE(pool.add("PCI\\VEN_1", again));
  EXPECT_EQ(again, first);
  for (int i = 0; i < 5000; ++i) {
    uint32_t offset = 0;
    ASSERT_TRUE(pool.add("text " + std::to_string(i), offset));
    EXPECT_EQ(offset, offsets[i]);
    EXPECT_EQ(pool.at(offset), "text " + std::to_string(i));
  }
}

// Records whose size does not divide a page, grown past the 2 MiB where
// huge pages are asked for (the advice must not split the mapping, or the
// next growth fails), shrunk as a package is rolled back, grown again with
// zero records, and moved.
TEST(MappedArray, KeepsEveryRecordThroughGrowthShrinkingAndMoves) {
  struct twelve_bytes {
    uint32_t a, b, c;
  };
  mapped_array<twelve_bytes> records;
  const uint32_t count = 600000;  // about 7 MiB
  for (uint32_t i = 0; i < count; ++i) records.push_back({i, ~i, i * 7});
  ASSERT_EQ(records.size(), count);
  records.resize(10);
  records.resize(20);
  EXPECT_EQ(records[9].b, ~9u);
  EXPECT_EQ(records[10].a, 0u);
  EXPECT_EQ(records[19].c, 0u);
  const twelve_bytes more[] = {{1, 2, 3}, {4, 5, 6}};
  records.append(more, 2);
  mapped_array<twelve_bytes> moved = std::move(records);
  EXPECT_TRUE(records.empty());
  ASSERT_EQ(moved.size(), 22u);
  EXPECT_EQ(moved.back().c, 6u);
  for (uint32_t i = 0; i < count; ++i) moved.push_back({i, i, i});
  for (uint32_t i = 0; i < count; i += 9973) EXPECT_EQ(moved[22 + i].b, i);
}

}  // namespace
}  // namespace quillary::server
