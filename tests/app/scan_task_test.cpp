#include "app/scan_task.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

local_time at(int year, int month, int day, int weekday, int hour, int minute) {
  return local_time{year, month, day, weekday, hour, minute};
}

TEST(weekly_trigger, starts_one_minute_from_now_on_todays_weekday) {
  // Wednesday, 14:05.
  const auto trigger = weekly_trigger_from(at(2026, 12, 9, 3, 14, 5));
  EXPECT_EQ(trigger, (weekly_trigger{2026, 12, 9, 14, 6, 1 << 3, 1, 0}));
}

TEST(weekly_trigger, minute_59_carries_into_the_next_hour_day_month_and_year) {
  EXPECT_EQ(weekly_trigger_from(at(2026, 12, 9, 3, 14, 59)),
            (weekly_trigger{2026, 12, 9, 15, 0, 1 << 3, 1, 0}));
  // Past midnight the task's day, and so its weekday, is tomorrow.
  EXPECT_EQ(weekly_trigger_from(at(2026, 12, 9, 3, 23, 59)),
            (weekly_trigger{2026, 12, 10, 0, 0, 1 << 4, 1, 0}));
  EXPECT_EQ(weekly_trigger_from(at(2026, 4, 30, 4, 23, 59)),
            (weekly_trigger{2026, 5, 1, 0, 0, 1 << 5, 1, 0}));
  // Saturday, New Year's Eve: Sunday the first.
  EXPECT_EQ(weekly_trigger_from(at(2022, 12, 31, 6, 23, 59)),
            (weekly_trigger{2023, 1, 1, 0, 0, 1 << 0, 1, 0}));
  // February of leap and common years.
  EXPECT_EQ(weekly_trigger_from(at(2028, 2, 28, 1, 23, 59)).begin_day, 29);
  EXPECT_EQ(weekly_trigger_from(at(2027, 2, 28, 0, 23, 59)).begin_month, 3);
  EXPECT_EQ(weekly_trigger_from(at(2100, 2, 28, 0, 23, 59)).begin_month, 3);
  EXPECT_EQ(weekly_trigger_from(at(2000, 2, 28, 1, 23, 59)).begin_day, 29);
}

TEST(scan_task, definition_starts_the_program_with_autorun) {
  const auto task = scan_task_definition(u"C:\\Quillary\\quillary.exe", at(2026, 12, 9, 3, 14, 5));
  EXPECT_EQ(task.name, u"Quillary");
  EXPECT_EQ(task.application, u"C:\\Quillary\\quillary.exe");
  EXPECT_EQ(task.parameters, u"--autorun");
  EXPECT_EQ(task.comment, u"Quillary automatically scan, keep your drivers up to date.");
  EXPECT_EQ(task.flags, 0x20C1u);
}

TEST(scan_task, checking_unchecking_and_rechecking_the_box) {
  memory_task_scheduler_c scheduler;
  // Checked: created, enabled, opened for editing.
  ASSERT_TRUE(create_scan_task(scheduler, u"q.exe", at(2026, 12, 9, 3, 14, 5)));
  EXPECT_TRUE(enable_scan_task(scheduler, true));
  EXPECT_TRUE(edit_scan_task(scheduler, nullptr));
  EXPECT_EQ(scheduler.edit_count, 1);
  // Unchecked: the task stays, its trigger is disabled.
  EXPECT_TRUE(enable_scan_task(scheduler, false));
  scheduled_task task;
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.trigger.flags, weekly_trigger::flag_disabled);
  // Checked again on another day: creation fails, the old schedule stays
  // and is enabled again.
  EXPECT_FALSE(create_scan_task(scheduler, u"q.exe", at(2026, 12, 11, 5, 9, 30)));
  EXPECT_TRUE(enable_scan_task(scheduler, true));
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.trigger, (weekly_trigger{2026, 12, 9, 14, 6, 1 << 3, 1, 0}));
}

TEST(scan_task, a_missing_task_cannot_be_switched_or_edited) {
  memory_task_scheduler_c scheduler;
  EXPECT_FALSE(enable_scan_task(scheduler, true));
  EXPECT_FALSE(edit_scan_task(scheduler, nullptr));
}

TEST(scan_task, at_minute_59_the_task_is_still_created) {
  memory_task_scheduler_c scheduler;
  EXPECT_TRUE(create_scan_task(scheduler, u"q.exe", at(2026, 12, 9, 3, 23, 59)));
}

}  // namespace
}  // namespace quillary
