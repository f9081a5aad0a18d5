// The weekly task through Task Scheduler 1.0, for real: under Wine it is a
// .job file in the Tasks folder of the prefix.
#include <gtest/gtest.h>

#include <mstask.h>

#include "app/scan_task.h"
#include "test_support.h"
#include "platform/win32.h"

namespace quillary {
namespace {

// The program never deletes its task; the tests do, to start clean.
void delete_task() {
  com_ptr<ITaskScheduler> scheduler;
  if (SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_ITaskScheduler, scheduler.out_void()))) {
    scheduler->Delete(L"Quillary");
  }
}

bool job_file_exists() {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring job = std::wstring(windows) + L"\\Tasks\\Quillary.job";
  return GetFileAttributesW(job.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class scan_task_win32 : public ::testing::Test {
 protected:
  void SetUp() override { delete_task(); }
  void TearDown() override { delete_task(); }
  task_scheduler_i& scheduler = platform::system_task_scheduler();
};

TEST_F(scan_task_win32, created_for_todays_weekday_then_toggled) {
  const local_time now = platform::current_local_time();
  ASSERT_TRUE(create_scan_task(scheduler, u"C:\\Apps\\quillary.exe", now));
  EXPECT_TRUE(job_file_exists());

  scheduled_task task;
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.application, u"C:\\Apps\\quillary.exe");
  EXPECT_EQ(task.parameters, u"--autorun");
  EXPECT_EQ(task.comment, scan_task_comment);
  EXPECT_EQ(task.flags, 0x20C1u);
  EXPECT_EQ(task.trigger, weekly_trigger_from(now));
  if (now.hour != 23 || now.minute != 59) {
    EXPECT_EQ(task.trigger.days_of_week, 1u << now.weekday);
  }

  ASSERT_TRUE(enable_scan_task(scheduler, false));
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.trigger.flags, DWORD{TASK_TRIGGER_FLAG_DISABLED});
  ASSERT_TRUE(enable_scan_task(scheduler, true));
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.trigger.flags, 0u);
}

TEST_F(scan_task_win32, an_existing_task_keeps_its_schedule) {
  const local_time monday_morning{2026, 12, 7, 1, 8, 15};
  ASSERT_TRUE(create_scan_task(scheduler, u"C:\\a.exe", monday_morning));
  const local_time friday_night{2026, 12, 11, 5, 22, 0};
  EXPECT_FALSE(create_scan_task(scheduler, u"C:\\b.exe", friday_night));
  scheduled_task task;
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.application, u"C:\\a.exe");
  EXPECT_EQ(task.trigger, weekly_trigger_from(monday_morning));
}

TEST_F(scan_task_win32, one_minute_before_midnight_starts_at_midnight) {
  const local_time late{2026, 12, 31, 4, 23, 59};
  ASSERT_TRUE(create_scan_task(scheduler, u"C:\\a.exe", late));
  scheduled_task task;
  ASSERT_TRUE(scheduler.read_task(u"Quillary", task));
  EXPECT_EQ(task.trigger, (weekly_trigger{2027, 1, 1, 0, 0, 1 << 5, 1, 0}));
}

TEST_F(scan_task_win32, a_missing_task_cannot_be_enabled) {
  EXPECT_FALSE(enable_scan_task(scheduler, true));
  EXPECT_FALSE(edit_scan_task(scheduler, nullptr));
}

}  // namespace
}  // namespace quillary
