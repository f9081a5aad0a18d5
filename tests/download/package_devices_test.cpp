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
  ASSERT_TRUE(read_package_infs(package, {}, texts));
  EXPECT_EQ(texts.size(), 2u) << "every INF when none is named";
  ASSERT_TRUE(read_package_infs(package, {u"drv\\x64\\A.inf"}, texts));
  ASSERT_EQ(texts.size(), 1u) << "the named one, however its separators and letters";
  EXPECT_EQ(texts[0], inf_text);

  EXPECT_FALSE(read_package_infs(file("setup.exe", "MZ program"), {}, texts)) << "no archive";
  std::string bytes;
  ASSERT_TRUE(platform::read_whole_file(package, bytes));
  EXPECT_FALSE(read_package_infs(file("cut.zip", bytes.substr(0, bytes.size() - 30)), {}, texts)) << "damaged";
}

}  // namespace
}  // namespace quillary
