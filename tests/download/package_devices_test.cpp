// Which devices a package is for, as the command line finds them before
// it backs up what an installation replaces.
#include <gtest/gtest.h>

#include <fstream>

#include "download/package_devices.h"
#include "download/zip_archive.h"
#include "platform/files.h"
#include "test_support.h"

namespace quillary {
namespace {

const char* const inf_text =
    "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n"
    "[Manufacturer]\r\n%Maker%=Maker,NTamd64.10.0,NTx86\r\n"
    "[Maker]\r\n%Old%=Old_Install,PCI\\VEN_1111&DEV_0001\r\n"
    "[Maker.NTamd64.10.0]\r\n%Pad%=Pad_Install,ACPI\\ABC0001,,*PNP0F13\r\n"
    "[Strings]\r\nMaker=\"Maker\"\r\nOld=\"Old\"\r\nPad=\"Pad\"\r\n";

device_record device(const std::u16string& id, std::vector<std::u16string> hardware,
                     std::vector<std::u16string> compatible = {}) {
  device_record d;
  d.device_id = id;
  d.hardware_ids = std::move(hardware);
  d.compatible_ids = std::move(compatible);
  return d;
}

TEST(package_devices, every_models_section_of_every_decoration_names_its_ids) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse(inf_text, reason)) << reason;
  EXPECT_EQ(inf_model_ids(inf), (std::set<std::string>{"PCI\\VEN_1111&DEV_0001", "ACPI\\ABC0001", "*PNP0F13"}))
      << "empty fields dropped, letters in upper case";

  const std::vector<device_record> devices = {
      device(u"PCI\\1", {u"pci\\ven_1111&dev_0001&subsys_1"}),  // a more specific ID only: not named
      device(u"PCI\\2", {u"PCI\\VEN_1111&DEV_0001&SUBSYS_1", u"pci\\ven_1111&dev_0001"}),
      device(u"ACPI\\3", {u"ACPI\\XYZ"}, {u"*pnp0f13"}),
      device(u"USB\\4", {u"USB\\VID_1"})};
  const auto matched = devices_for_package({inf_text, "not an INF ["}, devices);
  ASSERT_EQ(matched.size(), 2u);
  EXPECT_EQ(matched[0].device_id, u"PCI\\2");
  EXPECT_EQ(matched[1].device_id, u"ACPI\\3") << "by a compatible ID";
}

TEST(package_devices, the_infs_of_a_package_are_read_from_its_archive) {
  testing::temp_folder_c folder;
  const auto file = [&](const char* name, const std::string& bytes) {
    const std::u16string path = folder.below(name);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
    return path;
  };
  const std::u16string package = folder.below("package.zip");
  {
    zip_archive_c zip;
    ASSERT_TRUE(zip.create(package));
    ASSERT_TRUE(zip.add_file(file("a.inf", inf_text), "drv/x64/a.inf"));
    ASSERT_TRUE(zip.add_file(file("b.INF", "[Version]\r\n"), "b.INF"));
    ASSERT_TRUE(zip.add_file(file("c.sys", "driver"), "drv/x64/c.sys"));
    ASSERT_TRUE(zip.close());
  }
  std::vector<std::string> texts;
  ASSERT_EQ(read_package_infs(package, {}, texts), package_infs::read);
  EXPECT_EQ(texts.size(), 2u) << "every INF when none is named";
  ASSERT_EQ(read_package_infs(package, {u"drv\\x64\\A.inf"}, texts), package_infs::read);
  ASSERT_EQ(texts.size(), 1u) << "the named one, however its separators and letters";
  EXPECT_EQ(texts[0], inf_text);

  EXPECT_EQ(read_package_infs(file("setup.exe", "MZ program"), {}, texts), package_infs::not_an_archive);
  std::string bytes;
  ASSERT_TRUE(platform::read_whole_file(package, bytes));
  const std::u16string damaged = file("damaged.zip", bytes);
  {
    // A byte of the first entry's data changed (after its local header
    // and name): its checksum no longer holds.
    std::string changed = bytes;
    const auto u16 = [&](size_t at) { return static_cast<unsigned char>(changed[at]) | static_cast<unsigned char>(changed[at + 1]) << 8; };
    const size_t data = 30 + u16(26) + u16(28);
    ASSERT_LT(data + 2, changed.size());
    changed[data + 2] ^= 0x55;
    std::ofstream(std::filesystem::path(damaged), std::ios::binary) << changed;
  }
  EXPECT_EQ(read_package_infs(damaged, {}, texts), package_infs::damaged);

  // An INF beyond the limit: its devices cannot be known.
  const std::u16string large = folder.below("large.zip");
  {
    zip_archive_c zip;
    ASSERT_TRUE(zip.create(large));
    ASSERT_TRUE(zip.add_file(file("big.inf", std::string(max_package_inf_bytes + 1, ';')), "big.inf"));
    ASSERT_TRUE(zip.close());
  }
  EXPECT_EQ(read_package_infs(large, {}, texts), package_infs::too_large);
}

}  // namespace
}  // namespace quillary
