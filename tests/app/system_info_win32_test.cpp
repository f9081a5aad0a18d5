#include <gtest/gtest.h>

#include "app/system_info.h"
#include "platform/win32.h"
#include "win32_test_support.h"

namespace quillary {
namespace {

TEST(system_snapshot_win32, reads_the_version_of_the_running_system) {
  system_info_c system;
  ASSERT_TRUE(system.capture());
  const auto& info = system.snapshot();
  EXPECT_EQ(info.working_folder.back(), u'\\');
  EXPECT_NE(info.module_path.find(u"quillary_tests.exe"), std::u16string::npos);
  EXPECT_EQ(info.oem_code_page, GetOEMCP());
  EXPECT_TRUE(is_64bit_system(info)) << "a 64-bit program runs only on a 64-bit system";
  EXPECT_NE(architecture_of(info), os_architecture::x86);
  wchar_t system32[MAX_PATH] = {};
  GetSystemDirectoryW(system32, MAX_PATH);
  EXPECT_EQ(info.system_folder, from_wide(system32)) << "a 64-bit process is not redirected";
  if (testing::running_under_wine()) {
    // Wine presents itself as Windows 7 SP1, a workstation.
    EXPECT_EQ(info.os_type, os_type_code::windows_7);
    EXPECT_STREQ(os_code_name_of(info), "WIN764");
    EXPECT_EQ(os_version_code_of(info), 61);
    EXPECT_EQ(info.version.build, 7601u);
    EXPECT_EQ(info.version.service_pack, u"Service Pack 1");
  }
}

TEST(system_summary_win32, wmi_answers_the_summary_queries) {
  system_info_c system;
  ASSERT_TRUE(system.capture());
  ASSERT_EQ(system.collect_summary(), 0);
  EXPECT_TRUE(system.summary_ready());
  const auto& summary = system.snapshot().summary;
  EXPECT_FALSE(summary.processor.empty());
  EXPECT_FALSE(summary.model.empty());
  EXPECT_NE(summary.os_name.find(u" Build "), std::u16string::npos);
  ASSERT_FALSE(summary.memory.empty());
  EXPECT_TRUE(summary.memory.back() == u'G' || summary.memory.back() == u'M');
  if (testing::running_under_wine()) {
    EXPECT_EQ(summary.os_name.find(u"Microsoft Windows 7"), 0u);
    EXPECT_NE(summary.os_name.find(u"Build 7601 Service Pack 1"), std::u16string::npos);
  }
}

}  // namespace
}  // namespace quillary
