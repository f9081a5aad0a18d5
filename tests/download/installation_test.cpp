// Installation: where a package is extracted and which installer starts on
// which folder, with a shell that records instead of starting.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "download/installation.h"
#include "download/zip_archive.h"
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
    EXPECT_EQ(zip.create(path), 0);
    for (const auto& [name, contents] : entries) {
      const auto source = platform::join_path(sources, u"entry");
      { std::ofstream(std::filesystem::path(source), std::ios::binary) << contents; }
      zip.add_file(source, name);
      EXPECT_EQ(zip.last_result(), 0) << name;
    }
    EXPECT_EQ(zip.close(), 0);
    return path;
  }
  const std::u16string& driver_installer() const { return shell.calls.at(0).target; }

  testing::temp_folder_c folder;
  recording_shell_c shell;
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

TEST_F(installation_test, inf_paths_without_a_shared_folder_point_at_the_package_root) {
  const auto path = package("p.zip", {{"a.inf", "inf"}, {"B/b.inf", "inf"}});
  ASSERT_EQ(install_package(path, {u"a.inf", u"B\\b.inf"}, folder.text(), shell), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].parameters, u"/SH /PATH \"" + folder.below("p") + u"\"");
}

TEST_F(installation_test, without_the_named_infs_the_setup_program_is_looked_for_upwards) {
  const auto path = package("s.zip", {{"Win7/x64/other.inf", "inf"}, {"Win7/tool.exe", "a"},
                                      {"Win7/SETUP.exe", "b"}, {"setup.exe", "c"}});
  ASSERT_EQ(install_package(path, {u"Win7\\x64\\missing.inf"}, folder.text(), shell), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, in(folder.below("s"), u"Win7\\SETUP.exe"))
      << "Win7\\x64 has no program; in Win7 the setup program wins over another";
  EXPECT_EQ(shell.calls[0].parameters, u"");
}

TEST_F(installation_test, two_programs_of_other_names_are_no_setup_and_the_folder_opens) {
  const auto path = package("t.zip", {{"one.exe", "a"}, {"two.exe", "b"}});
  ASSERT_EQ(install_package(path, {u"x\\y.inf"}, folder.text(), shell), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, folder.below("t")) << "the user sees what the package holds";
  recording_shell_c single;
  const auto only = package("u.zip", {{"any-name.exe", "a"}});
  ASSERT_EQ(install_package(only, {}, folder.text(), single), 0);
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
  std::u16string used;
  ASSERT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), shell, false, &used), 0);
  EXPECT_EQ(used, extracted);
  std::ifstream inf{std::filesystem::path(in(extracted, u"d\\a.inf"))};
  std::string text;
  std::getline(inf, text);
  EXPECT_EQ(text, "second");
  EXPECT_FALSE(platform::file_exists(in(extracted, u"d\\old.inf"))) << "nothing of the earlier package stays";
  EXPECT_FALSE(platform::file_exists(extracted + u" (new)"));
  EXPECT_FALSE(platform::file_exists(extracted + u" (old)"));
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

}  // namespace
}  // namespace quillary
