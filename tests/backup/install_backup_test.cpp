// The backup made before an installation: every driver the package's
// devices have now, in archives that read back whole, listed with the
// package they made way for; and what a failure leaves.
#include <gtest/gtest.h>

#include <fstream>

#include "backup/backup_catalogue.h"
#include "backup/install_backup.h"
#include "backup/installation_batch.h"
#include "backup_fixture.h"
#include "download/zip_archive.h"
#include "platform/text.h"

namespace quillary {
namespace {

const std::string link = "http://127.0.0.1/update1.zip";

class install_backup : public backup_flow {
 protected:
  install_backup_outcome run(const std::vector<device_record>& for_devices, const std::string& made_way_for = link) {
    auto s = store();
    return back_up_before_installing(s, {catalogue_file, backups, "2026-05-06"}, for_devices, made_way_for);
  }
  std::vector<catalogue_entry> listed_for(const std::string& made_way_for) {
    backup_catalogue_c catalogue(catalogue_file, backups);
    catalogue.load();
    return catalogue.entries_made_way_for(made_way_for);
  }
};

TEST_F(install_backup, every_driver_of_the_devices_is_archived_verified_and_listed_with_the_link) {
  // The two network devices share a package; the last has no driver.
  const install_backup_outcome outcome = run({devices[0], devices[1], devices[2], devices[4]});
  ASSERT_EQ(outcome.state, install_backup_state::made) << outcome.problem;
  ASSERT_EQ(outcome.archives.size(), 2u) << "one archive per store package";
  EXPECT_TRUE(archive_verified(platform::join_path(backups, outcome.archives[0]), 2)) << "net.inf and net.sys";
  EXPECT_TRUE(archive_verified(platform::join_path(backups, outcome.archives[1]), 1)) << "disp.inf";
  const auto listed = listed_for(link);  // read back from the file
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].date, "2026-05-06");
  EXPECT_EQ(listed[0].devices.size(), 2u) << "both devices of the shared package";
  EXPECT_TRUE(listed_for("http://127.0.0.1/other.zip").empty());

  // The same drivers before a second package: the archives are reused,
  // and each now names both packages, the first one kept.
  const install_backup_outcome again = run({devices[1]}, "http://127.0.0.1/update2.zip");
  ASSERT_EQ(again.state, install_backup_state::made);
  EXPECT_EQ(again.archives, std::vector<std::u16string>{outcome.archives[1]});
  const auto display = listed_for("http://127.0.0.1/update2.zip");
  ASSERT_EQ(display.size(), 1u);
  EXPECT_EQ(display[0].made_way_for, (std::vector<std::string>{link, "http://127.0.0.1/update2.zip"}));
  EXPECT_EQ(listed_for(link).size(), 2u);
}

TEST_F(install_backup, devices_without_a_driver_need_none_and_write_nothing) {
  const install_backup_outcome outcome = run({devices[4]});
  EXPECT_EQ(outcome.state, install_backup_state::not_needed);
  EXPECT_TRUE(outcome.archives.empty());
  EXPECT_FALSE(platform::file_exists(catalogue_file));
  EXPECT_EQ(run({}).state, install_backup_state::not_needed);
}

TEST_F(install_backup, a_driver_that_cannot_be_kept_fails_it) {
  // machine.inf has no package in the store: nothing could bring it back.
  install_backup_outcome outcome = run({devices[1], devices[3]});
  EXPECT_EQ(outcome.state, install_backup_state::failed);
  EXPECT_NE(outcome.problem.find("ACPI\\SYS"), std::string::npos) << outcome.problem;
  EXPECT_TRUE(platform::folder_entries(backups).empty()) << "checked before anything is written";

  // A backup folder that cannot be made: a file is in its way.
  write(folder.below("in-the-way"), "file");
  auto s = store();
  outcome = back_up_before_installing(s, {catalogue_file, in(folder.below("in-the-way"), u"backups"), "2026-05-06"},
                                      {devices[1]}, link);
  EXPECT_EQ(outcome.state, install_backup_state::failed);
  EXPECT_NE(outcome.problem.find("backup folder"), std::string::npos) << outcome.problem;
}

TEST_F(install_backup, an_archive_that_does_not_read_back_whole_is_no_backup) {
  // Bytes that do not compress, so that the middle of the archive is the
  // middle of this file's data.
  std::string noise(64 * 1024, '\0');
  uint32_t state = 12345;
  for (auto& c : noise) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  write(in(store().paths().store_root, u"net.inf_amd64_1a2b\\x64\\noise.bin"), noise);
  const install_backup_outcome outcome = run({devices[0]});
  ASSERT_EQ(outcome.state, install_backup_state::made);
  const std::u16string archive = platform::join_path(backups, outcome.archives[0]);
  EXPECT_TRUE(archive_verified(archive, 3));
  EXPECT_FALSE(archive_verified(archive, 4)) << "an entry missing";

  const std::string bytes = read(archive);
  std::string damaged = bytes;
  damaged[bytes.size() / 2] ^= 0x55;
  write(archive, damaged);
  unzip_archive_c zip;
  ASSERT_TRUE(zip.open(archive));
  const zip_reading reading = zip.read_all();
  EXPECT_FALSE(reading.complete());
  EXPECT_NE(utf16_to_utf8(reading.damaged_entry).find("noise.bin"), std::string::npos);
  zip.close();
  EXPECT_FALSE(archive_verified(archive, 3)) << "one byte changed";
}

TEST_F(install_backup, a_failed_backup_installs_only_when_the_user_says_so) {
  install_job job;
  job.devices = {devices[3]};  // a driver the store does not hold
  job.link = link;
  std::vector<bool> answers;
  install_backup_step step{store(), {catalogue_file, backups, "2026-05-06"}, nullptr};
  install_report report;
  EXPECT_FALSE(back_up_for_job(&step, job, report)) << "nobody to ask: not installed";
  EXPECT_EQ(report.backup_state, "failed");
  EXPECT_FALSE(report.backup_problem.empty());
  for (const bool answer : {false, true}) {
    step.install_anyway = [&](const install_job&, const install_backup_outcome& backup) {
      answers.push_back(backup.state == install_backup_state::failed);
      return answer;
    };
    EXPECT_EQ(back_up_for_job(&step, job, report), answer);
  }
  EXPECT_EQ(answers, (std::vector<bool>{true, true}));

  job.devices = {devices[1]};
  step.install_anyway = [&](const install_job&, const install_backup_outcome&) {
    ADD_FAILURE() << "asked although the backup was made";
    return false;
  };
  EXPECT_TRUE(back_up_for_job(&step, job, report));
  EXPECT_EQ(report.backup_state, "made");
  install_report untouched;
  EXPECT_TRUE(back_up_for_job(nullptr, job, untouched)) << "no step: nothing to back up";
  EXPECT_TRUE(untouched.backup_state.empty());
}

}  // namespace
}  // namespace quillary
