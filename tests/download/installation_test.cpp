// Installation: where a package is extracted and which installer starts on
// which folder, with a shell that records instead of starting.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "download/installation.h"
#include "download/zip_archive.h"
#include "fake_restore_points.h"
#include "fake_system.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "test_support.h"

namespace quillary {
namespace {

std::u16string in(const std::u16string& folder, const std::u16string& relative) {
  return platform::join_path(folder, platform::native_separators(relative));
}

class installation_test : public ::testing::Test {
 protected:
  // A zip package of the given entries (name and contents), in the folder.
  std::u16string package(const std::string& file, const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto sources = folder.below("sources");
    platform::create_directories(sources);
    const auto path = folder.below(file);
    zip_archive_c zip;
    EXPECT_TRUE(zip.create(path));
    for (const auto& [name, contents] : entries) {
      const auto source = platform::join_path(sources, u"entry");
      { std::ofstream(std::filesystem::path(source), std::ios::binary) << contents; }
      EXPECT_TRUE(zip.add_file(source, name)) << name;
    }
    EXPECT_TRUE(zip.close());
    return path;
  }
  const std::u16string& driver_installer() const { return shell.calls.at(0).target; }
  // Options whose Authenticode check trusts every setup program.
  install_options trusting() {
    install_options options;
    options.authenticode = &trusted;
    return options;
  }

  testing::temp_folder_c folder;
  recording_shell_c shell;
  fixed_authenticode_c trusted{trust_verdict::trusted};
};

TEST(common_inf_folder, longest_shared_folder_of_the_inf_paths) {
  EXPECT_EQ(common_inf_folder({u"A\\x86\\a.inf", u"A\\x64\\b.inf"}), u"A\\");
  EXPECT_EQ(common_inf_folder({u"Win7\\x64\\a.inf"}), u"Win7\\x64\\");
  EXPECT_EQ(common_inf_folder({u"a.inf", u"A\\b.inf"}), u"") << "one at the package root";
  EXPECT_EQ(common_inf_folder({u"Ab\\x.inf", u"Ac\\y.inf"}), u"") << "no whole folder in common";
  EXPECT_EQ(common_inf_folder({}), u"");
}

TEST(driver_installer, parameters_without_a_trailing_backslash) {
  EXPECT_EQ(driver_installer_parameters(u"C:\\d\\pkg\\", false), u"/SH /PATH \"C:\\d\\pkg\"");
  EXPECT_EQ(driver_installer_parameters(u"C:\\d\\pkg", true), u"/SH /F /PATH \"C:\\d\\pkg\"");
  EXPECT_EQ(driver_installer_parameters(std::u16string(2000, u'x'), false).size(), 1023u);
}

TEST_F(installation_test, the_installer_starts_on_the_common_inf_folder) {
  const auto path = package("0123.zip", {{"A/x86/a.inf", "inf"}, {"A/x64/b.inf", "inf"}, {"readme.htm", "page"},
                                         {"A/notes.htm", "kept"}});
  ASSERT_EQ(install_package(path, {u"A\\x86\\a.inf", u"A\\x64\\b.inf"}, folder.text(), shell), 0);
  const auto extracted = folder.below("0123");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_TRUE(driver_installer() == u"DPInst64.exe" || driver_installer() == u"DPInst32.exe");
  EXPECT_EQ(shell.calls[0].parameters, u"/SH /PATH \"" + in(extracted, u"A") + u"\"");
  EXPECT_FALSE(platform::file_exists(in(extracted, u"readme.htm"))) << "pages at the root go";
  EXPECT_TRUE(platform::file_exists(in(extracted, u"A\\notes.htm"))) << "those in folders stay";
}

TEST_F(installation_test, the_package_must_hold_the_driver_the_page_showed) {
  const auto path = package("v.zip", {{"drv/a.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                                                    "DriverVer = 05/06/2024, 1.2.3.4 ; the driver's\r\n"}});
  testing::counting_restore_points_c system_restore;
  restore_point_batch_c points(system_restore);
  install_options options;
  options.restore_points = &points;
  install_report report;
  options.offered = {{u"drv\\a.inf", {u"1.2.3.4", u"2024-05-06"}}};
  ASSERT_EQ(install_package(path, {u"drv\\a.inf"}, folder.text(), shell, options, &report), 0);
  EXPECT_EQ(shell.calls.size(), 1u) << "what was offered is what is there";
  EXPECT_TRUE(report.offer_mismatch.empty());

  const std::pair<offered_drivers, const char*> mismatches[] = {
      {{{u"drv\\a.inf", {u"99.0.0.0", u"2024-05-06"}}}, "99.0.0.0"},
      {{{u"drv\\a.inf", {u"1.2.3.4", u"2031-01-01"}}}, "2031-01-01"},
      {{{u"drv\\a.inf", {u"1.2.3.4", u"2024-05-06"}}, {u"drv\\b.inf", {u"1.0", u"2024-05-06"}}}, "b.inf"},
  };
  for (const auto& [offered, named] : mismatches) {
    recording_shell_c none;
    install_report refused;
    options.offered = offered;
    EXPECT_EQ(install_package(path, {u"drv\\a.inf"}, folder.text(), none, options, &refused), offer_mismatch);
    EXPECT_TRUE(none.calls.empty()) << named;
    EXPECT_NE(refused.offer_mismatch.find(named), std::string::npos) << refused.offer_mismatch;
  }
  EXPECT_EQ(system_restore.begun.size(), 1u) << "no restore point for what is not installed";
}

TEST_F(installation_test, inf_paths_without_a_shared_folder_point_at_the_package_root) {
  const auto path = package("p.zip", {{"a.inf", "inf"}, {"B/b.inf", "inf"}});
  ASSERT_EQ(install_package(path, {u"a.inf", u"B\\b.inf"}, folder.text(), shell), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].parameters, u"/SH /PATH \"" + folder.below("p") + u"\"");
}

TEST_F(installation_test, without_the_named_infs_the_setup_program_is_looked_for_upwards) {
  const auto path = package("s.zip", {{"Win7/x64/other.inf", "inf"}, {"Win7/tool.exe", "a"},
                                      {"Win7/SETUP.exe", "b"}, {"setup.exe", "c"}});
  ASSERT_EQ(install_package(path, {u"Win7\\x64\\missing.inf"}, folder.text(), shell, trusting()), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, in(folder.below("s"), u"Win7\\SETUP.exe"))
      << "Win7\\x64 has no program; in Win7 the setup program wins over another";
  EXPECT_EQ(shell.calls[0].parameters, u"");
}

TEST_F(installation_test, two_programs_of_other_names_are_no_setup_and_the_folder_opens) {
  const auto path = package("t.zip", {{"one.exe", "a"}, {"two.exe", "b"}});
  ASSERT_EQ(install_package(path, {u"x\\y.inf"}, folder.text(), shell, trusting()), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, folder.below("t")) << "the user sees what the package holds";
  recording_shell_c single;
  const auto only = package("u.zip", {{"any-name.exe", "a"}});
  ASSERT_EQ(install_package(only, {}, folder.text(), single, trusting()), 0);
  EXPECT_EQ(single.calls.at(0).target, in(folder.below("u"), u"any-name.exe"));
}

TEST_F(installation_test, a_package_that_is_no_archive_is_opened_by_the_job) {
  const auto path = folder.below("driver.exe");
  { std::ofstream(std::filesystem::path(path), std::ios::binary) << "MZ not a zip"; }
  EXPECT_EQ(install_package(path, {}, folder.text(), shell), -1);
  EXPECT_TRUE(shell.calls.empty());

  auto job = std::make_shared<install_job>();
  job->package_path = path;
  job->download_folder = folder.text();
  job->shell = &shell;
  job->authenticode = &trusted;
  ASSERT_TRUE(start_install_job(job));
  for (int i = 0; i < 500 && job->busy; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(job->busy);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, path);
}

TEST_F(installation_test, a_damaged_package_starts_nothing_and_leaves_no_broken_file) {
  const auto path = package("bad.zip", {{"d/a.inf", "[Version]\r\n" + std::string(4000, ';') + "\r\n"}});
  std::string bytes;
  {
    std::ifstream in_file{std::filesystem::path(path), std::ios::binary};
    bytes.assign(std::istreambuf_iterator<char>(in_file), {});
  }
  // The entry's data follows its local header (30 bytes, the name, the extra field).
  const auto u16 = [&](size_t at) { return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8; };
  const size_t data = 30 + u16(26) + u16(28);
  ASSERT_LT(data + 4, bytes.size());
  bytes[data + 3] ^= 0x5A;
  { std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes; }

  EXPECT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), shell), damaged_package);
  EXPECT_TRUE(shell.calls.empty()) << "neither the installer nor the package itself";
  EXPECT_FALSE(platform::file_exists(in(folder.below("bad"), u"d\\a.inf")));
}

TEST_F(installation_test, an_installation_runs_on_exactly_the_files_of_its_package) {
  const auto path = package("k.zip", {{"d/a.inf", "first"}, {"d/old.inf", "only in the first"}});
  ASSERT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), shell), 0);
  const auto extracted = folder.below("k");
  { std::ofstream(std::filesystem::path(in(extracted, u"d\\a.inf"))) << "changed since"; }
  // A newer package under the same name.
  std::filesystem::remove(std::filesystem::path(path));
  package("k.zip", {{"d/a.inf", "second"}});
  install_report report;
  ASSERT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), shell, {}, &report), 0);
  EXPECT_EQ(report.folder, extracted);
  std::ifstream inf{std::filesystem::path(in(extracted, u"d\\a.inf"))};
  std::string text;
  std::getline(inf, text);
  EXPECT_EQ(text, "second");
  EXPECT_FALSE(platform::file_exists(in(extracted, u"d\\old.inf"))) << "nothing of the earlier package stays";
  EXPECT_FALSE(platform::file_exists(extracted + u" (new)"));
  EXPECT_FALSE(platform::file_exists(extracted + u" (old)"));
}

// What an extraction finds in its place and did not make stays as it is:
// the package itself (a name without extension names no other folder), a
// folder the user unpacked the package into, folders of the names the
// extraction works under.
TEST_F(installation_test, an_extraction_never_removes_or_replaces_what_it_did_not_make) {
  const auto bare = package("0123abcd", {{"d/a.inf", "inf"}});
  const uint64_t bare_size = platform::file_size(bare);
  for (int run = 0; run < 2; ++run) {
    install_report report;
    ASSERT_EQ(install_package(bare, {u"d\\a.inf"}, folder.text(), shell, {}, &report), 0);
    EXPECT_EQ(report.folder, bare + u" (2)");
    EXPECT_FALSE(platform::is_directory(bare));
    EXPECT_EQ(platform::file_size(bare), bare_size) << "the download is still there, whole";
    EXPECT_TRUE(platform::file_exists(in(report.folder, u"d\\a.inf")));
  }

  const auto zip = package("foo.zip", {{"d/a.inf", "inf"}});
  const auto users = [&](const char* name) {
    const auto path = folder.below(name);
    platform::create_directories(path);
    std::ofstream(std::filesystem::path(platform::join_path(path, u"mine.txt"))) << "the user's";
    return path;
  };
  const std::vector<std::u16string> theirs = {users("foo"), users("foo (2) (new)"), users("foo (2) (old)")};
  for (int run = 0; run < 2; ++run) {
    install_report report;
    ASSERT_EQ(install_package(zip, {u"d\\a.inf"}, folder.text(), shell, {}, &report), 0);
    EXPECT_EQ(report.folder, folder.below("foo (2)")) << "the next free name, then the extraction's own";
    EXPECT_TRUE(platform::file_exists(in(report.folder, u"d\\a.inf")));
    for (const auto& path : theirs) {
      EXPECT_EQ(platform::folder_entries(path), std::vector<std::u16string>{u"mine.txt"}) << utf16_to_utf8(path);
    }
  }
  EXPECT_EQ(shell.calls.size(), 4u);
}

TEST_F(installation_test, a_package_with_an_entry_that_cannot_be_written_is_damaged) {
  // A name no file system takes (a part longer than 255 characters); on
  // Windows '?' is refused as well.
  const std::string refused = "d/" + std::string(300, 'n') + ".sys";
  for (const auto& name : {refused, std::string("d/what?.sys")}) {
#ifndef _WIN32
    if (name.find('?') != std::string::npos) continue;
#endif
    recording_shell_c calls;
    const auto path = package("w.zip", {{"d/a.inf", "inf"}, {name, "driver"}, {"d/z.inf", "inf"}});
    EXPECT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), calls), damaged_package) << name;
    EXPECT_TRUE(calls.calls.empty()) << name;
    EXPECT_FALSE(platform::file_exists(folder.below("w"))) << "nothing half-extracted is left";
    std::filesystem::remove(std::filesystem::path(path));
  }
}

TEST_F(installation_test, a_long_entry_name_is_read_whole) {
  // 250 characters of folders, then the file: cut at 256 bytes, the name
  // would be another file's.
  std::string folders;
  while (folders.size() < 250) folders += "sub" + std::to_string(folders.size()) + "/";
  const std::string name = folders + "driver.inf.bak";
  const auto path = package("l.zip", {{name, "backup copy"}});
  const int result = install_package(path, {}, folder.text(), shell);
  const auto extracted = in(folder.below("l"), ascii_to_utf16(folders));
  EXPECT_FALSE(platform::file_exists(extracted + u"driver.inf"));
  // Where the system takes so long a path, the file lands under its name;
  // where it does not, the package counts as damaged.
  if (result == 0) {
    EXPECT_TRUE(platform::file_exists(extracted + u"driver.inf.bak"));
  } else {
    EXPECT_EQ(result, damaged_package);
  }
}

TEST_F(installation_test, inf_paths_that_leave_the_package_are_ignored) {
  const auto path = package("e.zip", {{"A/a.inf", "inf"}});
  // The files they name exist, so only the path itself can keep them out.
  platform::create_directories(folder.below("evil"));
  { std::ofstream(std::filesystem::path(folder.below("evil/x.inf"))) << "not the package's"; }
  const std::u16string outside = folder.below("evil/x.inf");
  for (const std::u16string& inf : {std::u16string(u"..\\evil\\x.inf"), std::u16string(u"A\\..\\..\\evil\\x.inf"),
                                    outside, std::u16string(u"C:evil\\x.inf"), std::u16string(u"\\evil\\x.inf"),
                                    std::u16string(u"A\\con\\x.inf"), std::u16string(u"... \\evil\\x.inf")}) {
    recording_shell_c alone, beside;
    ASSERT_EQ(install_package(path, {inf}, folder.text(), alone), 0);
    const std::vector<recording_shell_c::call> opened_folder{{folder.below("e"), u""}};
    EXPECT_EQ(alone.calls, opened_folder) << "no INF of the package named: " << utf16_to_utf8(inf);
    ASSERT_EQ(install_package(path, {inf, u"A\\a.inf"}, folder.text(), beside), 0);
    ASSERT_EQ(beside.calls.size(), 1u);
    EXPECT_EQ(beside.calls[0].parameters, u"/SH /PATH \"" + in(folder.below("e"), u"A") + u"\"")
        << utf16_to_utf8(inf);
  }
  EXPECT_EQ(contained_inf_paths({u"..\\x.inf", u"a\\b.inf", u"", u"nul.inf"}), std::set<std::u16string>{u"a\\b.inf"});
}

TEST_F(installation_test, a_busy_job_does_not_start_again_and_links_are_recorded) {
  auto job = std::make_shared<install_job>();
  job->busy = true;
  EXPECT_FALSE(start_install_job(job));
  const auto setup_dat = folder.below("setup.dat");
  ASSERT_TRUE(record_installed_link(setup_dat, "http://a/1.zip"));
  ASSERT_TRUE(record_installed_link(setup_dat, "http://b/2.zip"));
  std::ifstream in_file{std::filesystem::path(setup_dat), std::ios::binary};
  std::stringstream text;
  text << in_file.rdbuf();
  EXPECT_EQ(text.str(), "http://a/1.zip\r\nhttp://b/2.zip\r\n");
}

// --- the driver package installer of the system ----------------------------

TEST(driver_installer, dpinst_where_it_lies_pnputil_where_it_does_not_and_never_x64_on_arm) {
  using enum driver_installer;
  const auto choose = [](bool arm64, bool dpinst, bool pnputil, bool adds_drivers) {
    return choose_driver_installer({arm64, dpinst, pnputil, adds_drivers});
  };
  EXPECT_EQ(choose(false, true, true, true), dpinst) << "DPInst in the program's folder, as always";
  EXPECT_EQ(choose(false, false, true, true), pnputil);
  EXPECT_EQ(choose(false, false, true, false), dpinst) << "an older pnputil cannot add drivers: as before";
  EXPECT_EQ(choose(false, false, false, true), dpinst) << "nothing better: DPInst is tried as before";
  EXPECT_EQ(choose(true, true, true, true), pnputil) << "DPInst64 would install the x64 drivers";
  EXPECT_EQ(choose(true, true, false, true), none);
  EXPECT_EQ(choose(true, false, true, false), none);
}

TEST(driver_installer, pnputil_takes_every_inf_below_the_folder) {
  const std::u16string folder = platform::join_path(u"pkg", u"A");
  EXPECT_EQ(pnputil_parameters(folder + platform::path_separator),
            u"/add-driver \"" + platform::join_path(folder, u"*.inf") + u"\" /subdirs /install");
  EXPECT_EQ(pnputil_parameters(folder), pnputil_parameters(folder + platform::path_separator));
  EXPECT_EQ(describe_pnputil_exit(0), "installed");
  EXPECT_EQ(describe_pnputil_exit(3010), "installed; a restart completes the installation");
  EXPECT_NE(describe_pnputil_exit(259).find("nothing installed"), std::string::npos);
  EXPECT_EQ(describe_pnputil_exit(5), "failed (error 5)");
}

// Installations on a machine the test describes: the program's folder and
// the system folder are temporary folders, so that the installers lie
// there or not as each test needs.
class installer_choice_test : public installation_test {
 protected:
  installer_choice_test() {
    platform::create_directories(program_folder);
    platform::create_directories(system_folder);
  }
  void machine(uint32_t major, uint32_t minor, uint32_t build, uint16_t native = machine_type::amd64) {
    testing::fake_system_c system(major, minor, build);
    system.native = native;
    system.system = system_folder;
    testing::taken_snapshot_c snapshot(system);
    ASSERT_TRUE(snapshot.captured());
    snapshot.info().working_folder = program_folder + platform::path_separator;
    options.system = installer_system_of(snapshot.info());
  }
  void place(const std::u16string& in_folder, const char16_t* name) {
    std::ofstream(std::filesystem::path(platform::join_path(in_folder, name))) << "a program";
  }
  std::u16string network_package() {
    return package("n.zip", {{"Win10/x64/n.inf", "inf"}, {"Win10/x64/n.sys", "sys"}});
  }
  std::u16string pnputil() const { return platform::join_path(system_folder, u"pnputil.exe"); }

  std::u16string program_folder = folder.below("program");
  std::u16string system_folder = folder.below("System32");
  // The machine's facts, as the program hands them to an installation.
  install_options options;
};

TEST_F(installer_choice_test, without_dpinst_pnputil_installs_and_is_waited_for) {
  machine(10, 0, 19045);
  place(system_folder, u"pnputil.exe");
  shell.exit_code = 3010;
  install_report report;
  ASSERT_EQ(install_package(network_package(), {u"Win10\\x64\\n.inf"}, folder.text(), shell, options, &report), 0);
  const auto target = in(folder.below("n"), u"Win10\\x64");
  const std::vector<recording_shell_c::call> expected{
      {pnputil(), u"/add-driver \"" + platform::join_path(target, u"*.inf") + u"\" /subdirs /install", true}};
  EXPECT_EQ(shell.calls, expected);
  EXPECT_TRUE(report.driver_installer_chosen);
  EXPECT_EQ(report.installer.installer, driver_installer::pnputil);
  EXPECT_TRUE(report.installer.waited);
  EXPECT_EQ(report.installer.exit_code, 3010u) << "its exit code is kept for the report";
}

TEST_F(installer_choice_test, with_dpinst_in_the_program_folder_dpinst_is_started_as_before) {
  machine(10, 0, 22631);
  place(system_folder, u"pnputil.exe");
  place(program_folder, u"DPInst64.exe");
  install_report report;
  ASSERT_EQ(install_package(network_package(), {u"Win10\\x64\\n.inf"}, folder.text(), shell, options, &report), 0);
  const std::vector<recording_shell_c::call> expected{
      {u"DPInst64.exe", u"/SH /PATH \"" + in(folder.below("n"), u"Win10\\x64") + u"\"", false}};
  EXPECT_EQ(shell.calls, expected);
  EXPECT_EQ(report.installer.installer, driver_installer::dpinst);
  EXPECT_FALSE(report.installer.waited) << "DPInst's window takes over";
}

TEST_F(installer_choice_test, a_system_before_windows_10_1607_keeps_to_dpinst) {
  machine(6, 3, 9600);
  place(system_folder, u"pnputil.exe");  // Windows 8.1's pnputil has no /add-driver
  ASSERT_EQ(install_package(network_package(), {u"Win10\\x64\\n.inf"}, folder.text(), shell, options), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, u"DPInst64.exe");
}

TEST_F(installer_choice_test, an_arm64_pc_never_gets_dpinst) {
  machine(10, 0, 22631, machine_type::arm64);
  place(program_folder, u"DPInst64.exe");
  install_report report;
  ASSERT_EQ(install_package(network_package(), {u"Win10\\x64\\n.inf"}, folder.text(), shell, options, &report), 0);
  EXPECT_TRUE(shell.calls.empty()) << "no pnputil: nothing at all, not the x64 installer";
  EXPECT_TRUE(report.driver_installer_chosen);
  EXPECT_EQ(report.installer.installer, driver_installer::none);

  place(system_folder, u"pnputil.exe");
  ASSERT_EQ(install_package(network_package(), {u"Win10\\x64\\n.inf"}, folder.text(), shell, options), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, pnputil());
}

// The link goes into the list of installed packages only when something
// was really installed, or at least started, from the package.
TEST_F(installer_choice_test, only_an_installation_that_started_records_its_link) {
  machine(10, 0, 19045);
  place(system_folder, u"pnputil.exe");
  const auto setup_dat = folder.below("setup.dat");
  fixed_authenticode_c trust{trust_verdict::trusted};
  const auto recorded = [&](const std::u16string& path, recording_shell_c& with) {
    platform::remove_file(setup_dat);
    install_job job;
    job.package_path = path;
    job.inf_paths = {u"Win10\\x64\\n.inf"};
    job.download_folder = folder.text();
    job.shell = &with;
    job.authenticode = &trust;
    job.link = "http://h/p.zip";
    job.setup_dat = setup_dat;
    job.system = options.system;
    install_job_run(&job);
    std::string text;
    platform::read_whole_file(setup_dat, text);
    EXPECT_EQ(job.report.link_recorded, !text.empty());
    return text == "http://h/p.zip\r\n";
  };
  const auto network = network_package();
  for (const uint32_t code : {0u, 3010u, 1641u, 259u, 5u}) {
    recording_shell_c pnputil_ends;
    pnputil_ends.exit_code = code;
    EXPECT_EQ(recorded(network, pnputil_ends), pnputil_installed(code)) << "pnputil's exit code " << code;
  }
  recording_shell_c nothing_starts;
  nothing_starts.starts = false;
  EXPECT_FALSE(recorded(network, nothing_starts)) << "the installer did not start";

  // An entry no file system takes: the package does not come out whole.
  const auto damaged = package("damaged.zip", {{"d/" + std::string(300, 'n') + ".sys", "driver"}});
  recording_shell_c any;
  EXPECT_FALSE(recorded(damaged, any));
  EXPECT_TRUE(any.calls.empty());
  EXPECT_FALSE(recorded(package("shown.zip", {{"readme.txt", "no driver here"}}), any)) << "only the folder shown";
  const auto own = package("own.zip", {{"setup.exe", "MZ"}});
  EXPECT_TRUE(recorded(own, any)) << "the package's setup program";

  const auto program = folder.below("driver.exe");
  { std::ofstream(std::filesystem::path(program), std::ios::binary) << "MZ not a zip"; }
  EXPECT_TRUE(recorded(program, any)) << "a package that is a program of its own";
  EXPECT_FALSE(recorded(program, nothing_starts));

  trust.answer = {trust_verdict::unsigned_file, trust_status::no_signature};
  const size_t calls = any.calls.size();
  EXPECT_FALSE(recorded(own, any)) << "a setup program Windows does not trust";
  EXPECT_FALSE(recorded(program, any)) << "a program of its own Windows does not trust";
  EXPECT_EQ(any.calls.size(), calls) << "neither was started";
}

// --- the restore point -----------------------------------------------------

TEST_F(installation_test, a_restore_point_comes_before_the_installer_and_its_failure_stops_nothing) {
  std::vector<std::string> events;
  testing::counting_restore_points_c points;
  points.events = &events;
  testing::event_shell_c ordered(events);
  const auto path = package("r.zip", {{"d/a.inf", "inf"}});
  {
    restore_point_batch_c batch(points);
    install_report report;
    ASSERT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), ordered, {false, u"Veltrix Display 9.17", &batch},
                              &report),
              0);
    EXPECT_EQ(points.begun, std::vector<std::u16string>{u"Quillary: before installing Veltrix Display 9.17"});
    EXPECT_EQ(events, (std::vector<std::string>{"restore point", "open"}));
    EXPECT_EQ(report.restore_point.state, restore_point_state::made);
    EXPECT_TRUE(points.ended.empty()) << "the change ends with the batch";
  }
  EXPECT_EQ(points.ended, std::vector<int64_t>{41});

  // System protection off: the installation goes on, and says why.
  points.answer = testing::refusal(1058);
  events.clear();
  restore_point_batch_c batch(points);
  install_report report;
  ASSERT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), ordered, {false, u"", &batch}, &report), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"restore point", "open"}));
  EXPECT_EQ(points.begun.back(), u"Quillary: before installing r.zip") << "without a title, the file's name";
  EXPECT_EQ(report.restore_point.state, restore_point_state::protection_off);
  EXPECT_EQ(describe(report.restore_point), "system protection is turned off");
}

TEST_F(installation_test, a_batch_makes_one_restore_point_and_a_damaged_package_asks_for_none) {
  testing::counting_restore_points_c points;
  const auto damaged = folder.below("damaged.zip");
  { std::ofstream(std::filesystem::path(damaged), std::ios::binary) << "PK\x03\x04 cut short"; }
  {
    restore_point_batch_c batch(points);
    EXPECT_LT(install_package(damaged, {u"d\\a.inf"}, folder.text(), shell, {false, u"", &batch}), 0);
    EXPECT_TRUE(points.begun.empty()) << "nothing is installed, so nothing needs undoing";
    std::vector<std::thread> threads;
    for (const char* name : {"x.zip", "y.zip", "z.zip"}) {
      const auto path = package(name, {{"d/a.inf", "inf"}});
      threads.emplace_back([&batch, path, this] {
        recording_shell_c own;
        EXPECT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), own, {false, u"", &batch}), 0);
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(points.begun.size(), 1u) << "\"download all\": one restore point for the batch";
  }
  EXPECT_EQ(points.ended.size(), 1u);
}

TEST(restore_point, what_system_restore_answered) {
  const auto outcome = [](restore_point_answer answer) { return outcome_of(answer, u"d"); };
  EXPECT_EQ(outcome(testing::no_system_restore()).state, restore_point_state::not_supported);
  EXPECT_EQ(outcome(testing::new_point(7, 6)).sequence_number, 7);
  EXPECT_EQ(describe(outcome(testing::refusal(10))), "System Restore does not work in safe mode");
  EXPECT_EQ(describe(outcome(testing::refusal(112))), "System Restore is on standby: the disk is nearly full");
  EXPECT_EQ(describe(outcome(testing::refusal(1460))), "System Restore was busy making another restore point");
  EXPECT_EQ(describe(outcome(testing::refusal(87))), "System Restore refused (status 87)");
  EXPECT_EQ(outcome(testing::refusal(1058)).state, restore_point_state::protection_off);
  EXPECT_EQ(describe(outcome(testing::no_system_restore())), "this system has no System Restore");
  EXPECT_EQ(restore_point_description(std::u16string(300, u'x')).size(), 255u) << "what System Restore keeps";
}

// Since Windows 8 SRSetRestorePointW succeeds within a day of the last point
// without making one, and answers with that point's number.
TEST(restore_point, a_new_point_is_told_from_an_earlier_one_windows_kept) {
  const auto outcome = [](restore_point_answer answer) { return outcome_of(answer, u"d"); };
  const auto made = outcome(testing::new_point(42, 41));
  EXPECT_EQ(made.state, restore_point_state::made);
  EXPECT_EQ(made.created, u"2026-12-09T07:27:00Z");
  EXPECT_EQ(describe(made), "");
  EXPECT_EQ(outcome(testing::new_point(1, 0)).state, restore_point_state::made) << "the first point there is";

  const auto kept = outcome(testing::kept_point(41, u"2026-12-08T18:05:00Z"));
  EXPECT_EQ(kept.state, restore_point_state::reused);
  EXPECT_EQ(kept.sequence_number, 41);
  EXPECT_EQ(kept.created, u"2026-12-08T18:05:00Z");
  EXPECT_EQ(kept.status, 0u);
  EXPECT_EQ(describe(kept),
            "Windows made no new restore point and kept restore point 41 of 2026-12-08T18:05:00Z: it makes at most "
            "one a day");
  EXPECT_EQ(describe(outcome(testing::kept_point(41, u""))),
            "Windows made no new restore point and kept restore point 41: it makes at most one a day");
  auto older = testing::kept_point(39, u"");
  older.previous_sequence_number = 41;
  EXPECT_EQ(outcome(older).state, restore_point_state::reused) << "a number not above the newest is no new point";

  // The points before could not be read: neither made nor kept.
  const auto unknown = outcome(testing::point_of_unknown_age(41));
  EXPECT_EQ(unknown.state, restore_point_state::unknown_whether_new);
  EXPECT_EQ(unknown.sequence_number, 41);
  EXPECT_EQ(describe(unknown),
            "System Restore answered with restore point 41, but the points before it could not be read: it may be an "
            "earlier one");
  EXPECT_EQ(outcome(testing::new_point(0, 0)).state, restore_point_state::unknown_whether_new)
      << "an answer without a number names no point";

  for (const auto& answer : {testing::new_point(42, 41), testing::kept_point(41, u""),
                             testing::point_of_unknown_age(41)}) {
    EXPECT_TRUE(has_restore_point(outcome(answer)));
  }
  for (const auto& answer : {testing::refusal(87), testing::refusal(1058), testing::no_system_restore()}) {
    EXPECT_FALSE(has_restore_point(outcome(answer)));
  }
  EXPECT_FALSE(has_restore_point(restore_point_outcome{}));
}

TEST(restore_point, a_batch_ends_the_change_of_a_point_it_made_and_of_no_other) {
  const std::pair<restore_point_answer, std::vector<int64_t>> cases[] = {
      {testing::new_point(42, 41), {42}},
      {testing::kept_point(41, u"2026-12-08T18:05:00Z"), {}},  // begun and ended by whoever made it
      {testing::point_of_unknown_age(41), {}},
      {testing::refusal(87), {}},
      {testing::no_system_restore(), {}},
  };
  for (const auto& [answer, ended] : cases) {
    testing::counting_restore_points_c points;
    points.answer = answer;
    {
      restore_point_batch_c batch(points);
      batch.before_installing(u"a");
      batch.before_installing(u"b");
    }
    EXPECT_EQ(points.begun.size(), 1u);
    EXPECT_EQ(points.ended, ended) << "answered point " << answer.sequence_number;
  }
  testing::counting_restore_points_c points;
  { restore_point_batch_c unused(points); }
  EXPECT_TRUE(points.begun.empty());
  EXPECT_TRUE(points.ended.empty()) << "a batch that never asked has nothing to end";
}

TEST(restore_point, state_names_are_stable_and_read_back) {
  // What the command line's JSON says, and what is read back from it.
  const std::pair<restore_point_state, const char*> names[] = {
      {restore_point_state::not_asked, "not_asked"},
      {restore_point_state::made, "made"},
      {restore_point_state::not_supported, "not_supported"},
      {restore_point_state::protection_off, "protection_off"},
      {restore_point_state::failed, "failed"},
      {restore_point_state::reused, "reused"},
      {restore_point_state::unknown_whether_new, "unknown_whether_new"},
  };
  for (const auto& [state, name] : names) {
    EXPECT_STREQ(state_name(state), name);
    EXPECT_EQ(restore_point_state_from_name(name), state) << name;
  }
  for (const std::string& other : {std::string(), std::string("MADE"), std::string("made "), std::string("new"),
                                   std::string("made\0", 5)}) {
    EXPECT_EQ(restore_point_state_from_name(other), restore_point_state::unknown_whether_new)
        << "never taken for a point made, nor for one missing: " << other;
  }
}

TEST_F(installation_test, a_job_without_a_batch_makes_its_own_and_reports_the_outcome) {
  const auto path = package("j.zip", {{"d/a.inf", "inf"}});
  auto job = std::make_shared<install_job>();
  job->package_path = path;
  job->inf_paths = {u"d\\a.inf"};
  job->download_folder = folder.text();
  job->shell = &shell;
  ASSERT_TRUE(start_install_job(job));
  for (int i = 0; i < 500 && job->busy; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(job->call.ended);
  // The native build has no System Restore: the job says so and installs.
  EXPECT_EQ(job->report.restore_point.state, restore_point_state::not_supported);
  EXPECT_EQ(job->report.restore_point.description, u"Quillary: before installing j.zip");
  EXPECT_EQ(shell.calls.size(), 1u);
}

}  // namespace
}  // namespace quillary
