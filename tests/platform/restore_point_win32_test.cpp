// System Restore and WMI's list of restore points for real: under Wine,
// which has the SystemRestore class but keeps no points and makes none.
#include <gtest/gtest.h>

#include "download/restore_point_batch.h"
#include "platform/restore_point.h"
#include "platform/wmi.h"
#include "win32_test_support.h"

namespace quillary {
namespace {

TEST(restore_points_win32, wmi_lists_the_points_that_exist) {
  const auto points = platform::connect_wmi(u"ROOT\\DEFAULT");
  ASSERT_NE(points, nullptr);
  bool asked = false;
  const auto answer = ask_for_restore_point(points.get(), [&](int64_t&, uint32_t&) {
    asked = true;
    return false;
  });
  EXPECT_TRUE(asked);
  // Listing them takes an administrator's rights, which Wine always gives.
  EXPECT_TRUE(answer.previous_known) << "the query runs in ROOT\\DEFAULT";
  if (testing::running_under_wine()) {
    EXPECT_EQ(answer.previous_sequence_number, 0) << "Wine keeps none";
  }
}

TEST(restore_points_win32, wine_has_no_system_restore) {
  if (!testing::running_under_wine()) GTEST_SKIP() << "on Windows this would make a restore point";
  const auto answer = platform::system_restore_points().begin_driver_change(u"Quillary: test");
  EXPECT_FALSE(answer.supported);
  EXPECT_FALSE(answer.made);
  EXPECT_TRUE(answer.previous_known);
  EXPECT_EQ(outcome_of(answer, u"d").state, restore_point_state::not_supported);
}

}  // namespace
}  // namespace quillary
