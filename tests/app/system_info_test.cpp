#include "app/system_info.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/wmi.h"

namespace quillary {
namespace {

os_version_record nt(uint32_t major, uint32_t minor, uint8_t product_type = 1, bool r2 = false) {
  os_version_record v;
  v.platform_id = os_version_record::platform_nt;
  v.major = major;
  v.minor = minor;
  v.product_type = product_type;
  v.server_r2 = r2;
  return v;
}

TEST(os_type, follows_the_version_table) {
  using namespace os_type_code;
  EXPECT_EQ(os_type_for(nt(4, 0), 0), not_supported);
  EXPECT_EQ(os_type_for(nt(5, 0), 0), not_supported);
  EXPECT_EQ(os_type_for(nt(5, 1), 0), windows_xp);
  EXPECT_EQ(os_type_for(nt(5, 2, 3, false), 0), windows_2003);
  EXPECT_EQ(os_type_for(nt(5, 2, 3, true), 0), windows_2003_r2);
  EXPECT_EQ(os_type_for(nt(5, 3), 0), windows_xp);
  EXPECT_EQ(os_type_for(nt(6, 0, 1), 0), windows_vista);
  EXPECT_EQ(os_type_for(nt(6, 0, 3), 0), windows_2008);
  EXPECT_EQ(os_type_for(nt(6, 1, 1), 0), windows_7);
  EXPECT_EQ(os_type_for(nt(6, 1, 3), 0), windows_2008_r2);
  EXPECT_EQ(os_type_for(nt(6, 2, 3), 0), windows_8);
  EXPECT_EQ(os_type_for(nt(6, 3), 0), windows_xp);
  EXPECT_EQ(os_type_for(nt(10, 0), 0), windows_xp);
  // Without the extended record the product type is 0: not a workstation.
  EXPECT_EQ(os_type_for(nt(6, 1, 0), 0), windows_2008_r2);
}

TEST(os_type, other_platforms) {
  os_version_record v = nt(4, 10);
  v.platform_id = os_version_record::platform_win32s;
  EXPECT_EQ(os_type_for(v, 5), os_type_code::not_supported);
  v.platform_id = os_version_record::platform_win32_windows;
  EXPECT_EQ(os_type_for(v, 0), os_type_code::not_supported);
  EXPECT_EQ(os_type_for(v, 5), 5) << "a non-NT platform keeps what the type held";
  v.platform_id = os_version_record::platform_not_windows;
  EXPECT_EQ(os_type_for(v, 0), os_type_code::not_supported);
}

TEST(os_code_name, by_type_and_width) {
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_7, true), "WIN764");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_7, false), "WIN7");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2008_r2, false), "WIN2008");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2008_r2, true), "WIN200864");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_xp, true), "WINXP64");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2003_r2, true), "WIN200364");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_vista, true), "VISTA64");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_8, false), "WIN8");
  EXPECT_STREQ(os_code_name_for(os_type_code::not_supported, true), "NOT_SUPPORTED");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2000, false), "WIN2000");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2000, true), "");
  EXPECT_STREQ(os_code_name_for(os_type_code::unknown, true), "UNKNOWN");
  EXPECT_STREQ(os_code_name_for(11, false), "");
  EXPECT_STREQ(os_code_name_for(-1, true), "");
}

TEST(is_64bit, architecture_or_wow64) {
  EXPECT_TRUE(is_64bit_for(9, false));    // x64
  EXPECT_TRUE(is_64bit_for(12, false));   // ARM64
  EXPECT_TRUE(is_64bit_for(6, false));    // Itanium
  EXPECT_FALSE(is_64bit_for(0, false));   // x86
  EXPECT_TRUE(is_64bit_for(0, true));     // x86 under WOW64
  EXPECT_FALSE(is_64bit_for(0x10, false)) << "only the low four bits count";
}

TEST(format_byte_size, thresholds_are_strict) {
  EXPECT_EQ(format_byte_size(int64_t{8} << 30), u"8.00G");
  EXPECT_EQ(format_byte_size(1073741824), u"1024.00M");
  EXPECT_EQ(format_byte_size(1073741825), u"1.00G");
  EXPECT_EQ(format_byte_size(1048576), u"1024.00K");
  EXPECT_EQ(format_byte_size(1048577), u"1.00M");
  EXPECT_EQ(format_byte_size(1024), u"1024B");
  EXPECT_EQ(format_byte_size(1025), u"1.00K");
  EXPECT_EQ(format_byte_size(0), u"0B");
  EXPECT_EQ(format_byte_size(-5), u"-5B");
  // Negative counts show their low 32 bits.
  EXPECT_EQ(format_byte_size(-(int64_t{1} << 32) + 7), u"7B");
  EXPECT_EQ(format_byte_size(1536), u"1.50K");
}

TEST(os_name, build_and_service_pack_are_appended_when_present) {
  EXPECT_EQ(compose_os_name(u"Microsoft Windows 7 Professional", u"7601", u"Service Pack 1"),
            u"Microsoft Windows 7 Professional Build 7601 Service Pack 1");
  EXPECT_EQ(compose_os_name(u"Windows", u"", u"Service Pack 2"), u"Windows Service Pack 2");
  EXPECT_EQ(compose_os_name(u"Windows", u"9200", u""), u"Windows Build 9200");
}

TEST(parse_capacity, stops_at_the_first_non_digit) {
  EXPECT_EQ(parse_capacity(u"4294967296"), 4294967296);
  EXPECT_EQ(parse_capacity(u"123abc"), 123);
  EXPECT_EQ(parse_capacity(u"abc"), 0);
  EXPECT_EQ(parse_capacity(u""), 0);
  EXPECT_EQ(parse_capacity(u"99999999999999999999999"), INT64_MAX);
}

// Answers queries from a table; a query without an entry cannot be run.
class fake_wmi_c : public wmi_connection_i {
 public:
  std::map<std::pair<std::u16string, std::u16string>, std::vector<std::u16string>> answers;
  std::vector<std::u16string> asked;

  int for_each_value(const std::u16string& query, const std::u16string& property,
                     const std::function<bool(const std::u16string&)>& visit) override {
    asked.push_back(query + u"." + property);
    const auto it = answers.find({query, property});
    if (it == answers.end()) return -1;
    for (const auto& value : it->second) {
      if (!visit(value)) break;
    }
    return 0;
  }
};

TEST(system_summary, fields_come_from_their_classes_in_order) {
  fake_wmi_c wmi;
  wmi.answers[{u"SELECT * FROM Win32_Processor", u"name"}] = {u"CPU one", u"CPU two"};
  wmi.answers[{u"SELECT * FROM Win32_OperatingSystem", u"Caption"}] = {u"Microsoft Windows 7"};
  wmi.answers[{u"SELECT * FROM Win32_OperatingSystem", u"BuildNumber"}] = {u"7601"};
  wmi.answers[{u"SELECT * FROM Win32_OperatingSystem", u"CSDVersion"}] = {};
  wmi.answers[{u"SELECT * FROM Win32_PhysicalMemory", u"Capacity"}] = {u"4294967296",
                                                                         u"4294967296"};
  wmi.answers[{u"SELECT * FROM Win32_DiskDrive", u"Model"}] = {u"Disk A", u"Disk B"};
  wmi.answers[{u"SELECT * FROM Win32_DisplayConfiguration", u"Caption"}] = {u"Display"};
  wmi.answers[{u"SELECT * FROM Win32_SoundDevice", u"Description"}] = {};
  wmi.answers[{u"SELECT * FROM Win32_ComputerSystem", u"Model"}] = {u"Model X"};

  system_summary summary;
  collect_system_summary(wmi, summary);
  EXPECT_EQ(summary.processor, u"CPU one");
  EXPECT_EQ(summary.os_name, u"Microsoft Windows 7 Build 7601");
  EXPECT_EQ(summary.memory, u"8.00G");
  EXPECT_EQ(summary.disk, u"Disk A");
  EXPECT_EQ(summary.display, u"Display");
  EXPECT_EQ(summary.sound, u"") << "a machine without sound device leaves it empty";
  EXPECT_EQ(summary.model, u"Model X");
  ASSERT_GE(wmi.asked.size(), 7u);
  EXPECT_EQ(wmi.asked.front(), u"SELECT * FROM Win32_Processor.name");
  EXPECT_EQ(wmi.asked.back(), u"SELECT * FROM Win32_ComputerSystem.Model");
}

TEST(system_summary, failing_queries_leave_their_fields_empty) {
  fake_wmi_c wmi;  // every query fails
  wmi.answers[{u"SELECT * FROM Win32_ComputerSystem", u"Model"}] = {u"Model X"};
  system_summary summary;
  collect_system_summary(wmi, summary);
  EXPECT_EQ(summary.os_name, u"");
  EXPECT_EQ(summary.memory, u"") << "no module found: no size, not 0B";
  EXPECT_EQ(summary.model, u"Model X") << "a failed query does not stop the others";
}

}  // namespace
}  // namespace quillary
