// What the download and restore pages tell the user of the restore point.
#include "ui/pages/restore_point_notice.h"

#include <gtest/gtest.h>

#include "app/language.h"
#include "platform/text.h"
#include "test_support.h"

namespace quillary {
namespace {

class restore_point_notice_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::load_shipped_english(); }
  static void TearDownTestSuite() { language_table() = language_table_c(); }
};

// A zone one hour east of UTC, whatever zone the test runs in.
local_time one_hour_east(int64_t seconds) {
  const std::u16string utc = utc_time_text(seconds + 3600);  // "2026-12-09T08:27:00Z"
  const auto number = [&](size_t at, size_t count) { return std::stoi(utf16_to_utf8(utc.substr(at, count))); };
  return local_time{number(0, 4), number(5, 2), number(8, 2), 0, number(11, 2), number(14, 2), number(17, 2)};
}
local_time no_local_time(int64_t) { return {}; }

restore_point_outcome outcome(restore_point_state state, uint32_t status = 0, const std::u16string& created = u"") {
  restore_point_outcome result;
  result.state = state;
  result.status = status;
  result.sequence_number = 41;
  result.created = created;
  return result;
}

TEST_F(restore_point_notice_test, a_new_point_goes_without_a_word) {
  for (const auto state : {restore_point_state::made, restore_point_state::not_asked}) {
    EXPECT_EQ(restore_point_notice_key(outcome(state)), nullptr);
    EXPECT_EQ(restore_point_notice(outcome(state, 0, u"2026-12-09T07:27:00Z"), one_hour_east), u"");
  }
}

TEST_F(restore_point_notice_test, a_kept_point_names_its_time_in_the_users_zone) {
  const auto kept = outcome(restore_point_state::reused, 0, u"2026-12-09T07:27:00Z");
  EXPECT_STREQ(restore_point_notice_key(kept), "restore_point_reused");
  EXPECT_EQ(restore_point_notice(kept, one_hour_east),
            u"Windows kept its restore point of 2026-12-09 08:27: it makes at most one a day.");
  const auto late = outcome(restore_point_state::reused, 0, u"2026-12-31T23:30:00Z");
  EXPECT_EQ(restore_point_time_text(late.created, one_hour_east), u"2027-01-01 00:30") << "into the next year";

  // Without a time it can show, the same warning without one.
  for (const char16_t* created : {u"", u"yesterday", u"2026-12-09T07:27:00+01:00"}) {
    const auto undated = outcome(restore_point_state::reused, 0, created);
    EXPECT_STREQ(restore_point_notice_key(undated), "restore_point_reused_undated");
    EXPECT_EQ(restore_point_notice(undated, one_hour_east),
              u"Windows kept an earlier restore point: it makes at most one a day.");
  }
  EXPECT_EQ(restore_point_notice(kept, no_local_time),
            u"Windows kept an earlier restore point: it makes at most one a day.");
}

TEST_F(restore_point_notice_test, a_point_of_unknown_age_or_none_at_all_is_told_with_its_reason) {
  EXPECT_EQ(restore_point_notice(outcome(restore_point_state::unknown_whether_new), one_hour_east),
            u"Could not check whether Windows made a new restore point.");
  const std::pair<restore_point_outcome, const char16_t*> cases[] = {
      {outcome(restore_point_state::not_supported), u"No restore point was made: this PC has no System Restore."},
      {outcome(restore_point_state::protection_off, 1058), u"No restore point was made: system protection is off."},
      {outcome(restore_point_state::failed, 10), u"No restore point was made: Windows is in safe mode."},
      {outcome(restore_point_state::failed, 112), u"No restore point was made: the disk is nearly full."},
      {outcome(restore_point_state::failed, 1460), u"No restore point was made: System Restore was busy."},
      {outcome(restore_point_state::failed, 87), u"No restore point was made (System Restore error 87)."},
  };
  for (const auto& [answer, text] : cases) {
    EXPECT_EQ(restore_point_notice(answer, one_hour_east), text) << restore_point_notice_key(answer);
  }
}

}  // namespace
}  // namespace quillary
