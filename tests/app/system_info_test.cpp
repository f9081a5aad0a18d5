#include "app/system_info.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "fake_system.h"
#include "fake_wmi.h"
#include "platform/files.h"
#include "platform/wmi.h"

namespace quillary {
namespace {

os_version_record nt(uint32_t major, uint32_t minor, uint8_t product_type = 1, bool r2 = false,
                     uint32_t build = 0) {
  os_version_record v;
  v.platform_id = os_version_record::platform_nt;
  v.major = major;
  v.minor = minor;
  v.product_type = product_type;
  v.server_r2 = r2;
  v.build = build;
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
  EXPECT_EQ(os_type_for(nt(6, 3, 1), 0), windows_81);
  EXPECT_EQ(os_type_for(nt(6, 3, 3), 0), windows_81) << "any product type, as for 6.2";
  EXPECT_EQ(os_type_for(nt(6, 4), 0), windows_xp) << "a version the table does not know";
  EXPECT_EQ(os_type_for(nt(10, 0, 1, false, 10240), 0), windows_10);
  EXPECT_EQ(os_type_for(nt(10, 0, 1, false, 21999), 0), windows_10);
  EXPECT_EQ(os_type_for(nt(10, 0, 1, false, 22000), 0), windows_11) << "Windows 11 is told by its build";
  EXPECT_EQ(os_type_for(nt(10, 0, 3, false, 26100), 0), windows_11);
  EXPECT_EQ(os_type_for(nt(10, 1, 1, false, 30000), 0), windows_xp);
  EXPECT_EQ(os_type_for(nt(11, 0), 0), windows_xp);
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

TEST(os_code_name, by_type_and_architecture) {
  using enum os_architecture;
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_7, x64), "WIN764");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_7, x86), "WIN7");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2008_r2, x86), "WIN2008");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2008_r2, x64), "WIN200864");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_xp, x64), "WINXP64");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2003_r2, x64), "WIN200364");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_vista, x64), "VISTA64");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_8, x86), "WIN8");
  EXPECT_STREQ(os_code_name_for(os_type_code::not_supported, x64), "NOT_SUPPORTED");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2000, x86), "WIN2000");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_2000, x64), "");
  EXPECT_STREQ(os_code_name_for(os_type_code::unknown, x64), "UNKNOWN");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_81, x86), "WIN81");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_81, x64), "WIN8164");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_10, x86), "WIN10");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_10, x64), "WIN1064");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_10, arm64), "WIN10ARM64");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_11, x64), "WIN1164");
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_11, arm64), "WIN11ARM64");
  // Systems that never ran on an ARM64 PC have no name for one: the service
  // then offers nothing rather than drivers of another architecture.
  EXPECT_STREQ(os_code_name_for(os_type_code::windows_7, arm64), "");
  EXPECT_STREQ(os_code_name_for(14, x86), "");
  EXPECT_STREQ(os_code_name_for(-1, x64), "");
}

TEST(is_64bit, architecture_or_wow64) {
  EXPECT_TRUE(is_64bit_for(9, false));    // x64
  EXPECT_TRUE(is_64bit_for(12, false));   // ARM64
  EXPECT_TRUE(is_64bit_for(6, false));    // Itanium
  EXPECT_FALSE(is_64bit_for(0, false));   // x86
  EXPECT_TRUE(is_64bit_for(0, true));     // x86 under WOW64
  EXPECT_FALSE(is_64bit_for(0x10, false)) << "only the low four bits count";
}

TEST(architecture, the_native_machine_wins_over_what_the_process_sees) {
  using enum os_architecture;
  EXPECT_EQ(architecture_for(9, false, machine_type::unknown), x64) << "no IsWow64Process2: not ARM";
  EXPECT_EQ(architecture_for(9, false, machine_type::amd64), x64);
  EXPECT_EQ(architecture_for(9, false, machine_type::arm64), arm64) << "x64 emulated on ARM64";
  EXPECT_EQ(architecture_for(0, true, machine_type::arm64), arm64) << "x86 on ARM64";
  EXPECT_EQ(architecture_for(12, false, machine_type::unknown), arm64) << "a native ARM64 program";
  EXPECT_EQ(architecture_for(0, true, machine_type::amd64), x64);
  EXPECT_EQ(architecture_for(0, false, machine_type::unknown), x86);
}

TEST(native_system_folder, a_32_bit_process_on_64_bit_windows_goes_through_sysnative) {
  EXPECT_EQ(native_system_folder_for(u"C:\\Windows", u"C:\\Windows\\system32", false), u"C:\\Windows\\system32");
  EXPECT_EQ(native_system_folder_for(u"C:\\Windows", u"C:\\Windows\\system32", true),
            platform::join_path(u"C:\\Windows", u"Sysnative"));
  EXPECT_EQ(native_system_folder_for(u"", u"C:\\Windows\\system32", true), u"C:\\Windows\\system32");
}

// Every kind of machine through the same snapshot code the program runs:
// version, build, product type, processor, WOW64 and native machine in; type,
// code name, version code and width out. The rows of the older systems are
// what the program always reported for them.
TEST(system_snapshot, each_machine_gets_its_type_code_name_and_version_code) {
  struct machine {
    uint32_t major, minor, build;
    uint8_t product_type;
    uint16_t processor;
    bool wow64;
    uint16_t native;
    int os_type;
    const char* code_name;
    int32_t version_code;
  };
  using namespace os_type_code;
  constexpr uint16_t x86 = 0, x64 = 9, arm64_cpu = 12, none = machine_type::unknown;
  constexpr uint16_t amd64 = machine_type::amd64, arm64 = machine_type::arm64;
  const machine machines[] = {
      {5, 1, 2600, 1, x86, false, none, windows_xp, "WINXP", 51},
      {5, 2, 3790, 1, x64, false, none, windows_2003, "WIN200364", 52},
      {6, 0, 6002, 1, x86, false, none, windows_vista, "VISTA", 60},
      {6, 0, 6002, 3, x64, false, none, windows_2008, "WIN200864", 60},
      {6, 1, 7601, 1, x86, true, none, windows_7, "WIN764", 61},
      {6, 1, 7601, 1, x86, false, none, windows_7, "WIN7", 61},
      {6, 1, 7601, 3, x64, false, none, windows_2008_r2, "WIN200864", 61},
      {6, 2, 9200, 1, x64, false, none, windows_8, "WIN864", 62},
      {6, 3, 9600, 1, x86, false, none, windows_81, "WIN81", 63},
      {6, 3, 9600, 1, x64, false, amd64, windows_81, "WIN8164", 63},
      {6, 3, 9600, 3, x64, false, none, windows_81, "WIN8164", 63},
      {10, 0, 10240, 1, x86, false, none, windows_10, "WIN10", 100},
      {10, 0, 19045, 1, x64, false, amd64, windows_10, "WIN1064", 100},
      {10, 0, 19045, 1, x86, true, amd64, windows_10, "WIN1064", 100},
      {10, 0, 21999, 3, x64, false, amd64, windows_10, "WIN1064", 100},
      {10, 0, 19045, 1, x64, false, arm64, windows_10, "WIN10ARM64", 100},
      {10, 0, 22000, 1, x64, false, amd64, windows_11, "WIN1164", 100},
      {10, 0, 22631, 1, x64, false, arm64, windows_11, "WIN11ARM64", 100},
      {10, 0, 26100, 1, x86, true, arm64, windows_11, "WIN11ARM64", 100},
      {10, 0, 26100, 1, arm64_cpu, false, arm64, windows_11, "WIN11ARM64", 100},
  };
  for (const auto& m : machines) {
    testing::fake_system_c system(m.major, m.minor, m.build, m.product_type);
    system.processor = m.processor;
    system.wow64 = m.wow64;
    system.native = m.native;
    testing::taken_snapshot_c snapshot(system);
    const std::string row = std::to_string(m.major) + "." + std::to_string(m.minor) + "." +
                            std::to_string(m.build) + " type " + std::to_string(m.product_type) + " cpu " +
                            std::to_string(m.processor) + (m.wow64 ? " wow64" : "") + " native " +
                            std::to_string(m.native);
    ASSERT_TRUE(snapshot.captured()) << row;
    EXPECT_EQ(snapshot.info().os_type, m.os_type) << row;
    EXPECT_STREQ(os_code_name_of(snapshot.info()), m.code_name) << row;
    EXPECT_EQ(os_version_code_of(snapshot.info()), m.version_code) << row;
    EXPECT_EQ(is_64bit_system(snapshot.info()), m.processor != x86 || m.wow64) << row;
  }
}

TEST(system_snapshot, a_snapshot_that_cannot_be_taken_says_which_step_failed) {
  testing::fake_system_c system(10, 0, 19045);
  system.power_status = false;
  system_snapshot info;
  const outcome without_power = capture_system_snapshot(info, system);
  EXPECT_EQ(without_power.code, error_code::power_status_failed);
  EXPECT_FALSE(without_power.reason.empty());
  system.version_readable = false;
  EXPECT_EQ(capture_system_snapshot(info, system).code, error_code::os_version_unknown) << "the version is read first";
  system.version_readable = true;
  system.power_status = true;
  EXPECT_TRUE(capture_system_snapshot(info, system));
}

TEST(system_snapshot, the_system_folder_is_the_one_of_the_native_programs) {
  testing::fake_system_c system(10, 0, 19045);
  system.processor = 0;
  system.wow64 = true;
  system.system = u"C:\\Windows\\SysWOW64";  // what a redirected process is told
  {
    testing::taken_snapshot_c snapshot(system);
    EXPECT_EQ(snapshot.info().system_folder, platform::join_path(u"C:\\Windows", u"Sysnative"));
  }
  system.processor = 9;
  system.wow64 = false;
  system.system = u"C:\\Windows\\System32";
  testing::taken_snapshot_c snapshot(system);
  EXPECT_EQ(snapshot.info().system_folder, u"C:\\Windows\\System32");
  EXPECT_FALSE(snapshot.info().wow64);
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

using testing::fake_wmi_c;

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

// A WMI whose sound query does not return until the test lets it.
class hanging_wmi_c : public fake_wmi_c {
 public:
  explicit hanging_wmi_c(std::shared_ptr<std::atomic<bool>> released) : released_(std::move(released)) {
    answers[{u"SELECT * FROM Win32_ComputerSystem", u"Model"}] = {u"Model X"};
  }
  int for_each_value(const std::u16string& query, const std::u16string& property,
                     const std::function<bool(const std::u16string&)>& visit) override {
    while (query.find(u"SoundDevice") != std::u16string::npos && !*released_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return fake_wmi_c::for_each_value(query, property, visit);
  }

 private:
  std::shared_ptr<std::atomic<bool>> released_;
};

TEST(system_summary, a_query_that_hangs_keeps_nobody_waiting_and_writes_nothing_later) {
  auto released = std::make_shared<std::atomic<bool>>(false);
  const auto connect = [released]() -> std::unique_ptr<wmi_connection_i> {
    return std::make_unique<hanging_wmi_c>(released);
  };
  {
    system_summary quick;
    background_summary_c summary(quick);
    *released = true;
    ASSERT_TRUE(summary.start(connect));
    summary.finish(std::chrono::seconds(10));
    EXPECT_TRUE(summary.ready());
    EXPECT_EQ(quick.model, u"Model X");
    *released = false;
  }
  auto target = std::make_unique<system_summary>();
  auto summary = std::make_unique<background_summary_c>(*target);
  ASSERT_TRUE(summary->start(connect));
  const auto begin = std::chrono::steady_clock::now();
  summary->finish(std::chrono::milliseconds(200));
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5)) << "the wait has its limit";
  EXPECT_FALSE(summary->ready());
  // The program ends meanwhile: what the thread wrote into would be gone.
  summary.reset();
  target.reset();
  *released = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the thread's late end (ASan would see a write)
}

TEST(system_summary, the_connection_is_known_while_the_queries_still_run) {
  // The start-up waits for the connection, not for the queries.
  auto released = std::make_shared<std::atomic<bool>>(false);
  system_summary target;
  background_summary_c summary(target);
  ASSERT_TRUE(summary.start([released]() -> std::unique_ptr<wmi_connection_i> {
    return std::make_unique<hanging_wmi_c>(released);
  }));
  EXPECT_EQ(summary.wait_connection(), background_summary_c::connection_state::made);
  EXPECT_FALSE(summary.ready()) << "the sound query still hangs";
  *released = true;
  summary.finish(std::chrono::seconds(10));
  EXPECT_TRUE(summary.ready());

  // A connection that cannot be made: the program would not start.
  system_summary none;
  background_summary_c refused(none);
  ASSERT_TRUE(refused.start([]() -> std::unique_ptr<wmi_connection_i> { return nullptr; }));
  EXPECT_EQ(refused.wait_connection(), background_summary_c::connection_state::failed);
  refused.finish(std::chrono::seconds(10));
  EXPECT_EQ(none.model, u"") << "nothing was collected";
  // Without a thread there is nothing to wait for.
  system_summary unused;
  EXPECT_EQ(background_summary_c(unused).wait_connection(), background_summary_c::connection_state::failed);
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
