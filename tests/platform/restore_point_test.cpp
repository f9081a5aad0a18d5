// A request for a restore point with what WMI lists around it: the newest
// point before asking, and when the answered point was made.
#include "platform/restore_point.h"

#include <gtest/gtest.h>

#include "fake_wmi.h"
#include "platform/text.h"

namespace quillary {
namespace {

const std::u16string listing = u"SELECT SequenceNumber FROM SystemRestore";
const std::u16string property = u"SequenceNumber";

// System Restore's side: notes that it was asked, answers as set.
struct fake_begin {
  std::vector<std::u16string>* asked;
  bool succeeds = true;
  int64_t number = 41;
  uint32_t status = 0;
  bool operator()(int64_t& sequence_number, uint32_t& code) const {
    asked->push_back(u"SRSetRestorePointW");
    sequence_number = succeeds ? number : 0;
    code = status;
    return succeeds;
  }
};

TEST(ask_for_restore_point, reads_the_newest_point_before_asking_and_the_answered_one_after) {
  testing::fake_wmi_c wmi;
  wmi.answers[{listing, property}] = {u"12", u"40", u"7"};
  wmi.answers[{u"SELECT CreationTime FROM SystemRestore WHERE SequenceNumber = 41", u"CreationTime"}] = {
      u"20261209082700.000000+060"};
  const auto answer = ask_for_restore_point(&wmi, fake_begin{&wmi.asked});
  EXPECT_EQ(wmi.asked, (std::vector<std::u16string>{
                           listing + u"." + property, u"SRSetRestorePointW",
                           u"SELECT CreationTime FROM SystemRestore WHERE SequenceNumber = 41.CreationTime"}));
  EXPECT_TRUE(answer.made);
  EXPECT_TRUE(answer.previous_known);
  EXPECT_EQ(answer.previous_sequence_number, 40) << "the greatest, in whatever order WMI lists them";
  EXPECT_EQ(answer.sequence_number, 41);
  EXPECT_EQ(answer.created, u"2026-12-09T07:27:00Z") << "an hour ahead of UTC";
}

TEST(ask_for_restore_point, no_points_at_all_is_known_and_unreadable_ones_are_not) {
  testing::fake_wmi_c none;
  none.answers[{listing, property}] = {};
  const auto first = ask_for_restore_point(&none, fake_begin{&none.asked});
  EXPECT_TRUE(first.previous_known);
  EXPECT_EQ(first.previous_sequence_number, 0);
  EXPECT_EQ(first.created, u"") << "WMI does not say when";

  // A listing that cannot run, or with a number that is none: the newest
  // point is not known, however many others can be read.
  for (const std::vector<std::u16string>& values :
       {std::vector<std::u16string>{u"40", u"4x"}, {u""}, {u"-3"}, {u"4294967296"}, {u"99999999999"}}) {
    testing::fake_wmi_c wmi;
    wmi.answers[{listing, property}] = values;
    EXPECT_FALSE(ask_for_restore_point(&wmi, fake_begin{&wmi.asked}).previous_known) << utf16_to_utf8(values.back());
  }
  testing::fake_wmi_c broken;
  EXPECT_FALSE(ask_for_restore_point(&broken, fake_begin{&broken.asked}).previous_known);

  std::vector<std::u16string> asked;
  const auto without_wmi = ask_for_restore_point(nullptr, fake_begin{&asked});
  EXPECT_EQ(asked, std::vector<std::u16string>{u"SRSetRestorePointW"}) << "asked all the same";
  EXPECT_FALSE(without_wmi.previous_known);
  EXPECT_TRUE(without_wmi.made);
}

TEST(ask_for_restore_point, a_refusal_keeps_its_status_and_asks_no_time) {
  testing::fake_wmi_c wmi;
  wmi.answers[{listing, property}] = {u"40"};
  const auto answer = ask_for_restore_point(&wmi, fake_begin{&wmi.asked, false, 0, 1058});
  EXPECT_FALSE(answer.made);
  EXPECT_EQ(answer.status, 1058u);
  EXPECT_EQ(wmi.asked.size(), 2u) << "the listing and the request only";

  // A creation time in another form is no time.
  testing::fake_wmi_c odd;
  odd.answers[{listing, property}] = {u"40"};
  odd.answers[{u"SELECT CreationTime FROM SystemRestore WHERE SequenceNumber = 41", u"CreationTime"}] = {
      u"2026-12-09 08:27:00"};
  EXPECT_EQ(ask_for_restore_point(&odd, fake_begin{&odd.asked}).created, u"");
}

}  // namespace
}  // namespace quillary
