// A package's setup program, and a download that is a program itself, start
// only when Windows trusts their Authenticode signature: every verdict of
// the check against what starts, what the report says, the result code and
// the restore point. The check is a fake here; what WinVerifyTrust answers
// is tested under Wine (platform/wine_authenticode_test.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "download/installation.h"
#include "download/zip_archive.h"
#include "fake_restore_points.h"
#include "platform/authenticode.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "test_support.h"

namespace quillary {
namespace {

constexpr trust_verdict every_verdict[] = {
    trust_verdict::trusted,    trust_verdict::unsigned_file, trust_verdict::tampered, trust_verdict::untrusted,
    trust_verdict::distrusted, trust_verdict::expired,       trust_verdict::revoked,  trust_verdict::unchecked,
};

class setup_program_trust_test : public ::testing::Test {
 protected:
  std::u16string package(const std::string& file, const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto source = folder.below("entry");
    const auto path = folder.below(file);
    zip_archive_c zip;
    EXPECT_TRUE(zip.create(path));
    for (const auto& [name, contents] : entries) {
      { std::ofstream(std::filesystem::path(source), std::ios::binary) << contents; }
      EXPECT_TRUE(zip.add_file(source, name)) << name;
    }
    EXPECT_TRUE(zip.close());
    return path;
  }
  std::u16string plain_file(const std::string& name) {
    const auto path = folder.below(name);
    { std::ofstream(std::filesystem::path(path), std::ios::binary) << "MZ not a zip"; }
    return path;
  }
  // The job of a download as the page makes it, with its own batch of
  // restore points and a link to record.
  std::unique_ptr<install_job> job_for(const std::u16string& path, authenticode_i* authenticode) {
    auto job = std::make_unique<install_job>();
    job->package_path = path;
    job->download_folder = folder.text();
    job->shell = &shell;
    job->authenticode = authenticode;
    job->link = "http://h/" + utf16_to_utf8(platform::file_name_part(path));
    job->setup_dat = folder.below("setup.dat");
    job->restore_points = std::make_shared<restore_point_batch_c>(points);
    return job;
  }
  bool link_recorded() {
    std::string text;
    return platform::read_whole_file(folder.below("setup.dat"), text) && !text.empty();
  }

  testing::temp_folder_c folder;
  recording_shell_c shell;
  testing::counting_restore_points_c points;
};

TEST_F(setup_program_trust_test, a_setup_program_starts_only_when_windows_trusts_it) {
  for (const trust_verdict verdict : every_verdict) {
    SCOPED_TRACE(verdict_name(verdict));
    const std::string name = std::string("p-") + verdict_name(verdict) + ".zip";
    const auto path = package(name, {{"Disk1/setup.exe", "MZ"}, {"Disk1/data.cab", "cab"}});
    const std::u16string program = platform::join_path(
        extraction_folder(path, folder.text()), platform::native_separators(u"Disk1\\setup.exe"));
    fixed_authenticode_c check(verdict, 0x800B0000u + static_cast<uint32_t>(verdict));
    recording_shell_c started;
    testing::counting_restore_points_c system;
    restore_point_batch_c batch(system);
    install_options options;
    options.restore_points = &batch;
    options.authenticode = &check;
    install_report report;
    const int result = install_package(path, {u"Disk1\\missing.inf"}, folder.text(), started, options, &report);

    EXPECT_EQ(check.checked, std::vector<std::u16string>{program}) << "the program that would start, checked once";
    ASSERT_TRUE(report.setup_program_trust);
    EXPECT_EQ(*report.setup_program_trust, check.answer) << "the verdict and its status, as the check gave them";
    EXPECT_EQ(report.setup_program, program);
    if (verdict == trust_verdict::trusted) {
      EXPECT_EQ(result, 0);
      EXPECT_FALSE(report.setup_program_refused);
      EXPECT_TRUE(report.setup_program_started);
      ASSERT_EQ(started.calls.size(), 1u);
      EXPECT_EQ(started.calls[0].target, program);
      EXPECT_EQ(system.begun.size(), 1u) << "a restore point before it starts";
      EXPECT_TRUE(installation_started(result, report));
    } else {
      EXPECT_EQ(result, untrusted_setup_program);
      EXPECT_TRUE(report.setup_program_refused);
      EXPECT_FALSE(report.setup_program_started);
      EXPECT_TRUE(started.calls.empty()) << "neither the program nor the folder instead";
      EXPECT_TRUE(system.begun.empty()) << "nothing changes, so nothing needs undoing";
      EXPECT_EQ(report.restore_point.state, restore_point_state::not_asked);
      EXPECT_FALSE(installation_started(result, report));
    }
  }
}

TEST_F(setup_program_trust_test, without_a_check_no_setup_program_starts) {
  const auto path = package("n.zip", {{"setup.exe", "MZ"}});
  install_report report;
  EXPECT_EQ(install_package(path, {}, folder.text(), shell, {}, &report), untrusted_setup_program);
  EXPECT_TRUE(shell.calls.empty());
  ASSERT_TRUE(report.setup_program_trust);
  EXPECT_EQ(report.setup_program_trust->verdict, trust_verdict::unchecked);
  EXPECT_TRUE(report.setup_program_refused);
}

TEST_F(setup_program_trust_test, driver_package_installers_and_shown_folders_are_not_checked) {
  fixed_authenticode_c distrusting(trust_verdict::distrusted);
  install_options options;
  options.authenticode = &distrusting;
  install_report report;
  // Its INF files are there: DPInst starts on them (setup.exe beside them
  // plays no part), and DPInst is Microsoft's own.
  const auto drivers = package("d.zip", {{"drv/a.inf", "inf"}, {"setup.exe", "MZ"}});
  ASSERT_EQ(install_package(drivers, {u"drv\\a.inf"}, folder.text(), shell, options, &report), 0);
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_TRUE(report.driver_installer_chosen);
  // Two programs, neither a setup program: the folder is shown.
  install_report shown;
  const auto tools = package("t.zip", {{"one.exe", "a"}, {"two.exe", "b"}});
  ASSERT_EQ(install_package(tools, {}, folder.text(), shell, options, &shown), 0);
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1].target, extraction_folder(tools, folder.text()));
  EXPECT_TRUE(distrusting.checked.empty());
  EXPECT_FALSE(report.setup_program_trust);
  EXPECT_FALSE(shown.setup_program_trust);
  EXPECT_FALSE(report.setup_program_refused || shown.setup_program_refused);
}

TEST_F(setup_program_trust_test, a_download_that_is_a_program_opens_only_when_trusted) {
  // Programs, installer packages and scripts: every one is checked, and
  // scripts (which carry no signature the check accepts) are refused
  // like unsigned programs.
  for (const char* name : {"vendor.exe", "driver.MSI", "install.cmd", "run.bat", "setup.ps1", "go.vbs"}) {
    SCOPED_TRACE(name);
    const auto path = plain_file(name);
    fixed_authenticode_c unsigned_check(trust_verdict::unsigned_file, trust_status::subject_form_unknown);
    const auto refused = job_for(path, &unsigned_check);
    EXPECT_EQ(install_job_run(refused.get()), untrusted_setup_program);
    EXPECT_EQ(unsigned_check.checked, std::vector<std::u16string>{path});
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_FALSE(refused->report.package_opened);
    EXPECT_TRUE(refused->report.setup_program_refused);
    EXPECT_EQ(refused->report.setup_program_trust->status, trust_status::subject_form_unknown);
    EXPECT_FALSE(refused->report.link_recorded);
    EXPECT_FALSE(link_recorded());
    EXPECT_TRUE(points.begun.empty()) << "no restore point for what never starts";

    fixed_authenticode_c trusting(trust_verdict::trusted);
    const auto opened = job_for(path, &trusting);
    EXPECT_EQ(install_job_run(opened.get()), -1) << "no archive, opened as it is";
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].target, path);
    EXPECT_TRUE(opened->report.package_opened);
    EXPECT_FALSE(opened->report.setup_program_refused);
    EXPECT_TRUE(opened->report.link_recorded);
    EXPECT_EQ(points.begun.size(), 1u);
    shell.calls.clear();
    points.begun.clear();
    platform::remove_file(folder.below("setup.dat"));
  }
}

TEST_F(setup_program_trust_test, a_download_that_is_a_document_opens_unchecked) {
  fixed_authenticode_c refusing(trust_verdict::untrusted);
  const auto path = plain_file("release-notes.pdf");
  const auto job = job_for(path, &refusing);
  EXPECT_EQ(install_job_run(job.get()), -1);
  EXPECT_TRUE(refusing.checked.empty());
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_TRUE(job->report.package_opened);
  EXPECT_FALSE(job->report.setup_program_trust);
}

TEST(runs_as_program, by_the_kind_windows_starts_whatever_the_case) {
  for (const char16_t* name : {u"setup.exe", u"SETUP.EXE", u"x.Msi", u"i.cmd", u"p.ps1", u"link.lnk", u"tweak.reg"}) {
    EXPECT_TRUE(runs_as_program(name)) << utf16_to_utf8(name);
  }
  for (const char16_t* name : {u"notes.pdf", u"setup.exe.txt", u"driver.inf", u"exe", u"a.exe-", u"data.cab"}) {
    EXPECT_FALSE(runs_as_program(name)) << utf16_to_utf8(name);
  }
}

}  // namespace
}  // namespace quillary
