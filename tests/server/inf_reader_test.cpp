// What a driver's [Version], [Manufacturer] and models sections yield, as
// the service reads them (the INF syntax and DriverVer are base's, see
// tests/base/).
#include <gtest/gtest.h>

#include "server/inf_driver.h"
#include "server_test_support.h"

namespace quillary::server {
namespace {

TEST(InfDecoration, ParsesEveryField) {
  target_decoration d;
  ASSERT_TRUE(parse_decoration("NTamd64.6.1", d));
  EXPECT_EQ(d.arch, cpu_arch::amd64);
  EXPECT_EQ(d.major, 6);
  EXPECT_EQ(d.minor, 1);
  ASSERT_TRUE(parse_decoration("ntX86...0x3", d));
  EXPECT_EQ(d.arch, cpu_arch::x86);
  EXPECT_EQ(d.major, -1);
  EXPECT_EQ(d.product_type, 3);
  ASSERT_TRUE(parse_decoration("NT.6", d));
  EXPECT_FALSE(d.has_arch);
  EXPECT_EQ(d.minor, 0);
  ASSERT_TRUE(parse_decoration("NTamd64.10.0...17763", d));
  EXPECT_EQ(d.build, 17763);
  ASSERT_TRUE(parse_decoration("NTarm64", d));
  EXPECT_EQ(d.arch, cpu_arch::arm64);
  ASSERT_TRUE(parse_decoration("NTarm", d));
  EXPECT_EQ(d.arch, cpu_arch::other);
  for (const char* bad : {"", "x86", "NTmips", "NTamd64.six", "NTamd64..1", "NTx86.6.1.7", "NTx86.6.1.1.0.1.2"}) {
    EXPECT_FALSE(parse_decoration(bad, d)) << bad;
  }
}

TEST(InfDecoration, FitsByArchitectureVersionAndProductType) {
  const auto fits = [](const char* decoration, const char* os) {
    target_decoration d;
    EXPECT_TRUE(parse_decoration(decoration, d)) << decoration;
    return decoration_fits(d, client_os_for(os));
  };
  EXPECT_TRUE(fits("NTamd64", "WIN764"));
  EXPECT_FALSE(fits("NTamd64", "WIN7"));
  EXPECT_FALSE(fits("NTx86", "WIN764"));
  EXPECT_FALSE(fits("NT", "WIN764"));  // plain NT is for x86 only
  EXPECT_TRUE(fits("NT.5.1", "WINXP"));
  EXPECT_TRUE(fits("NTamd64.6.1", "WIN764"));
  EXPECT_FALSE(fits("NTamd64.6.2", "WIN764"));
  EXPECT_TRUE(fits("NTamd64.6.2", "WIN864"));
  EXPECT_FALSE(fits("NTx86.5.2", "WINXP"));
  EXPECT_TRUE(fits("NTx86.5.2", "WIN2003"));
  EXPECT_FALSE(fits("NTamd64.6.0.1", "WIN200864"));  // workstation only
  EXPECT_TRUE(fits("NTamd64.6.0.3", "WIN200864"));
  EXPECT_FALSE(fits("NTamd64.6.1...7601", "WIN764"));  // SP1 build, client known only as 7600
  EXPECT_FALSE(fits("NTarm64", "WIN864"));
  EXPECT_FALSE(fits("NTx86", "NOT_SUPPORTED"));
  EXPECT_FALSE(fits("NTx86", "WIN2000"));
}

TEST(InfDecoration, CurrentSystemsByVersionBuildAndArchitecture) {
  const auto fits = [](const char* decoration, const char* os, long build = 0) {
    target_decoration d;
    EXPECT_TRUE(parse_decoration(decoration, d)) << decoration;
    return decoration_fits(d, client_os_for(os, build));
  };
  EXPECT_TRUE(fits("NTamd64.6.3", "WIN8164"));
  EXPECT_FALSE(fits("NTamd64.6.3", "WIN864"));
  EXPECT_FALSE(fits("NTamd64.10.0", "WIN8164"));
  EXPECT_TRUE(fits("NTx86.6.3", "WIN81"));
  EXPECT_TRUE(fits("NTamd64.10.0", "WIN1064"));
  EXPECT_TRUE(fits("NTx86.10.0", "WIN10"));
  EXPECT_FALSE(fits("NTx86.10.0", "WIN1064"));
  EXPECT_TRUE(fits("NTamd64.10.0", "WIN1164"));
  // The build condition: Windows 11 sections need a build from 22000 on.
  EXPECT_FALSE(fits("NTamd64.10.0...22000", "WIN1064"));
  EXPECT_FALSE(fits("NTamd64.10.0...22000", "WIN1064", 22631)) << "a WIN10 client is never past 21999";
  EXPECT_TRUE(fits("NTamd64.10.0...22000", "WIN1164"));
  EXPECT_TRUE(fits("NTamd64.10.0...22000", "WIN1164", 22631));
  EXPECT_FALSE(fits("NTamd64.10.0...22621", "WIN1164")) << "only the first build is known";
  EXPECT_TRUE(fits("NTamd64.10.0...22621", "WIN1164", 22631));
  // A reported build within the name's range counts: Windows 10 22H2 takes
  // a section for version 1809 and later, the first release does not.
  EXPECT_FALSE(fits("NTamd64.10.0...17763", "WIN1064"));
  EXPECT_TRUE(fits("NTamd64.10.0...17763", "WIN1064", 19045));
  EXPECT_FALSE(fits("NTamd64.10.0...17763", "WIN1064", 9600)) << "a build below the name's first is ignored";
  EXPECT_TRUE(fits("NTamd64.6.3...9999", "WIN1064")) << "an older version fits whatever its build";
  EXPECT_TRUE(fits("NTamd64.10.0.1", "WIN1164"));
  EXPECT_FALSE(fits("NTamd64.10.0.3", "WIN1164")) << "a server section";
  // ARM64 PCs take ARM64 sections and nothing of x86 or x64.
  EXPECT_TRUE(fits("NTarm64", "WIN11ARM64"));
  EXPECT_TRUE(fits("NTarm64.10.0", "WIN10ARM64"));
  EXPECT_TRUE(fits("NTarm64.10.0...22000", "WIN11ARM64"));
  EXPECT_FALSE(fits("NTarm64.10.0...22000", "WIN10ARM64"));
  EXPECT_FALSE(fits("NTamd64.10.0", "WIN11ARM64"));
  EXPECT_FALSE(fits("NTx86", "WIN11ARM64"));
  EXPECT_FALSE(fits("NT", "WIN11ARM64"));
  EXPECT_FALSE(fits("NTarm64.10.0", "WIN1164"));
  EXPECT_FALSE(fits("NTarm", "WIN11ARM64"));
}

TEST(InfDriver, VersionValuesAndModels) {
  inf_file_c inf;
  inf_driver driver;
  std::string reason;
  const std::string text = testing::small_inf(
      "%Maker% = Models, NTamd64, NTamd64.6.1, NTbogus",
      "[Models]\n%Desc% = Install, PCI\\VEN_1&DEV_2\n"
      "[Models.NTamd64]\n%Desc% = Install, PCI\\VEN_1&DEV_2, PCI\\CC_0200\n"
      "[Models.NTamd64.6.1]\n%Desc% = Install, , PCI\\VEN_1&CC_0200\nNo IDs = Install\n"
      "[Install.NTamd64]\nFeatureScore=0xF8\n",
      "6/21/2006, 6.1.7600.16385", "CatalogFile.NTamd64 = x64.cat\nCatalogFile=x86.cat\n");
  ASSERT_TRUE(inf.parse(text, reason)) << reason;
  ASSERT_TRUE(read_inf_driver(inf, driver, reason)) << reason;
  EXPECT_EQ(driver.provider, "Norvik Networks");
  EXPECT_EQ(driver.class_guid, "{4d36e972-e325-11ce-bfc1-08002be10318}");
  EXPECT_EQ(driver.date, "2006-06-21");
  EXPECT_EQ(driver.version, "6.1.7600.16385");
  ASSERT_EQ(driver.manufacturers.size(), 1u);
  const auto& sections = driver.manufacturers[0].sections;
  ASSERT_EQ(sections.size(), 3u);  // the bogus decoration is left out
  EXPECT_FALSE(sections[0].decorated);
  EXPECT_EQ(sections[0].catalog_file, "x86.cat");
  EXPECT_EQ(sections[0].models[0].feature_score, 0xFFu);  // [Install.NT] has none
  EXPECT_EQ(sections[1].catalog_file, "x64.cat");
  EXPECT_EQ(sections[1].models[0].ids, (std::vector<std::string>{"PCI\\VEN_1&DEV_2", "PCI\\CC_0200"}));
  EXPECT_EQ(sections[1].models[0].compatible_from, 1u);
  EXPECT_EQ(sections[1].models[0].feature_score, 0xF8u);
  ASSERT_EQ(sections[2].models.size(), 1u);  // the line without IDs is no model
  EXPECT_EQ(sections[2].models[0].description, "Norvik Adapter");
  EXPECT_EQ(sections[2].models[0].ids, (std::vector<std::string>{"PCI\\VEN_1&CC_0200"}));
  EXPECT_EQ(sections[2].models[0].compatible_from, 0u);  // only a compatible ID
}

TEST(InfDriver, FilesThatOfferNoDriverAreRejected) {
  const auto reject = [](const std::string& text) {
    inf_file_c inf;
    inf_driver driver;
    std::string reason;
    EXPECT_TRUE(inf.parse(text, reason)) << reason;
    EXPECT_FALSE(read_inf_driver(inf, driver, reason));
    return reason;
  };
  EXPECT_EQ(reject("[Version]\nClass=Net\n"), "no [Version] signature");
  EXPECT_EQ(reject(testing::small_inf("%Maker%=M", "[M]\nA=I,X\\Y\n", "2012-01-01,1.0")), "no valid DriverVer date");
  EXPECT_EQ(reject(testing::small_inf("%Maker%=M", "[M]\nA=I,X\\Y\n", "01/01/2012,1.x")),
            "DriverVer version \"1.x\" is not a version");
  EXPECT_EQ(reject(testing::small_inf("%Maker%=M, NTamd64", "[Other]\nA=I,X\\Y\n")), "no model with a device ID");
}

TEST(InfDriver, MostSpecificFittingSectionIsChosen) {
  inf_file_c inf;
  inf_driver driver;
  std::string reason;
  ASSERT_TRUE(inf.parse(testing::small_inf("%Maker% = M, NTamd64.6.1, NTamd64, NTamd64.6.0, NTx86.6.0",
                                           "[M]\nA=I,ID\n[M.NTamd64]\nA=I,ID\n[M.NTamd64.6.0]\nA=I,ID\n"
                                           "[M.NTamd64.6.1]\nA=I,ID\n[M.NTx86.6.0]\nA=I,ID\n"),
                        reason));
  ASSERT_TRUE(read_inf_driver(inf, driver, reason)) << reason;
  const auto chosen = [&](const char* os) {
    const inf_models_section* s = choose_models_section(driver.manufacturers[0], client_os_for(os));
    return s == nullptr ? std::string("none") : s->name;
  };
  EXPECT_EQ(chosen("WIN764"), "M.NTamd64.6.1");
  EXPECT_EQ(chosen("WIN864"), "M.NTamd64.6.1");
  EXPECT_EQ(chosen("VISTA64"), "M.NTamd64.6.0");
  EXPECT_EQ(chosen("WINXP64"), "M.NTamd64");
  EXPECT_EQ(chosen("WIN7"), "M.NTx86.6.0");
  EXPECT_EQ(chosen("WINXP"), "M");  // undecorated: x86 when nothing else fits
  EXPECT_EQ(chosen("WIN1164"), "M.NTamd64.6.1");
  EXPECT_EQ(chosen("WIN11ARM64"), "none") << "no ARM64 section, and never the x86 one";
  EXPECT_EQ(chosen("NOT_SUPPORTED"), "none");
}

}  // namespace
}  // namespace quillary::server
