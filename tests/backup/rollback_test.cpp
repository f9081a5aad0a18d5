// Undoing an installation: what is refused before anything changes, and a
// roll back run where the rights are, by Windows' own roll back or from the
// backup, with the link taken out of setup.dat.
#include <gtest/gtest.h>

#include "backup/install_backup.h"
#include "backup/rollback.h"
#include "backup_fixture.h"
#include "fake_restore_points.h"
#include "service/update_client.h"

namespace quillary {
namespace {

const std::string link = "http://127.0.0.1/update1.zip";

// Windows' own roll back, answering as told and recording what it was asked.
class fake_rollback_c : public driver_rollback_i {
 public:
  rollback_result roll_back(const std::u16string& device_id) override {
    asked.push_back(device_id);
    rollback_result result;
    result.answer = answer;
    return result;
  }
  rollback_answer answer = rollback_answer::rolled_back;
  std::vector<std::u16string> asked;
};

class rollback_test : public backup_flow {
 protected:
  void SetUp() override {
    backup_flow::SetUp();
    auto s = store();
    ASSERT_EQ(back_up_before_installing(s, {catalogue_file, backups, "2026-05-06"}, {devices[1]}, link).state,
              install_backup_state::made);
    write(setup_dat, "http://127.0.0.1/other.zip\r\n" + link + "\r\n  " + link + " \r\nhttp://127.0.0.1/last.zip\r\n");
  }
  rollback_plan plan(const std::string& for_link) {
    std::set<std::string> installed;
    load_installed_links(setup_dat, installed);
    backup_catalogue_c catalogue(catalogue_file, backups);
    catalogue.load();
    return plan_rollback(for_link, installed, catalogue, backups);
  }
  entry_outcome run(const batch_entry& entry) {
    restore_point_batch_c batch(points);
    const local_installation here{&shell, &batch, setup_dat, nullptr, nullptr, {}, nullptr, &windows};
    return run_entry_here(entry, here);
  }

  std::u16string setup_dat = folder.below("setup.dat");
  std::vector<std::string> events;
  testing::event_shell_c shell{events};
  testing::counting_restore_points_c points;
  fake_rollback_c windows;
};

TEST_F(rollback_test, what_cannot_be_undone_is_refused_before_anything_changes) {
  EXPECT_EQ(plan("http://127.0.0.1/never.zip").refusal, rollback_refusal::not_installed);
  EXPECT_EQ(plan("http://127.0.0.1/other.zip").refusal, rollback_refusal::no_backup) << "installed without a backup";

  rollback_plan good = plan(link);
  ASSERT_EQ(good.refusal, rollback_refusal::none);
  ASSERT_EQ(good.entries.size(), 1u);
  EXPECT_EQ(good.entries[0].what, batch_entry::kind::rollback);
  EXPECT_EQ(good.entries[0].link, link);
  EXPECT_EQ(good.entries[0].device_ids, std::vector<std::u16string>{u"PCI\\DISP"});

  const std::string bytes = read(good.entries[0].path);
  write(good.entries[0].path, bytes.substr(0, bytes.size() - 10));
  const rollback_plan damaged = plan(link);
  EXPECT_EQ(damaged.refusal, rollback_refusal::backup_damaged);
  EXPECT_EQ(damaged.damaged_archive, good.entries[0].path);
  EXPECT_TRUE(damaged.entries.empty());
  std::filesystem::remove(std::filesystem::path(good.entries[0].path));
  EXPECT_EQ(plan(link).refusal, rollback_refusal::no_backup) << "an archive that is gone leaves the catalogue";
  EXPECT_NE(describe(rollback_refusal::no_backup).find("no backup"), std::string::npos);
}

TEST_F(rollback_test, windows_own_roll_back_comes_first_and_the_link_leaves_setup_dat) {
  const rollback_plan planned = plan(link);
  ASSERT_EQ(planned.entries.size(), 1u);
  const entry_outcome outcome = run(planned.entries[0]);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.report.rollback_route, "windows");
  EXPECT_EQ(windows.asked, std::vector<std::u16string>{u"PCI\\DISP"});
  EXPECT_TRUE(shell.calls.empty()) << "nothing restored";
  EXPECT_TRUE(outcome.report.link_removed);
  EXPECT_EQ(read(setup_dat), "http://127.0.0.1/other.zip\r\nhttp://127.0.0.1/last.zip\r\n")
      << "every line of the link, and only those";
}

TEST_F(rollback_test, without_windows_earlier_driver_the_backup_is_restored_forced) {
  windows.answer = rollback_answer::no_earlier_driver;
  const rollback_plan planned = plan(link);
  ASSERT_EQ(planned.entries.size(), 1u);
  const entry_outcome outcome = run(planned.entries[0]);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.report.rollback_route, "backup");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_NE(shell.calls[0].parameters.find(u"/F "), std::u16string::npos) << "forced: the older driver goes in";
  EXPECT_TRUE(outcome.report.link_removed);
  std::set<std::string> left;
  load_installed_links(setup_dat, left);
  EXPECT_EQ(left, (std::set<std::string>{"http://127.0.0.1/other.zip", "http://127.0.0.1/last.zip"}));
}

TEST_F(rollback_test, a_restore_that_starts_nothing_keeps_the_link) {
  windows.answer = rollback_answer::unavailable;
  rollback_plan planned = plan(link);
  ASSERT_EQ(planned.entries.size(), 1u);
  const std::string before = read(setup_dat);
  write(planned.entries[0].path, "no longer an archive");
  const entry_outcome outcome = run(planned.entries[0]);
  EXPECT_NE(outcome.result, 0);
  EXPECT_FALSE(outcome.report.link_removed);
  EXPECT_EQ(read(setup_dat), before);
  EXPECT_TRUE(shell.calls.empty());
}

TEST(setup_dat, removing_a_link_that_is_not_there_changes_nothing) {
  testing::temp_folder_c folder;
  const std::u16string file = folder.below("setup.dat");
  bool removed = true;
  EXPECT_TRUE(remove_installed_link(file, "http://a/", removed)) << "no list: nothing to remove";
  EXPECT_FALSE(removed);
  write(file, "http://b/\n");
  EXPECT_TRUE(remove_installed_link(file, "http://a/", removed));
  EXPECT_FALSE(removed);
  EXPECT_EQ(read(file), "http://b/\n");
  EXPECT_FALSE(platform::file_exists(file + u".tmp"));
}

}  // namespace
}  // namespace quillary
