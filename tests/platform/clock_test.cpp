#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace quillary {
namespace {

TEST(wmi_datetime, is_a_local_time_with_its_offset_from_utc) {
  int64_t seconds = 0;
  // 1:30:15 PM EST, five hours behind UTC.
  ASSERT_TRUE(seconds_of_wmi_datetime(u"19980525133015.000000-300", seconds));
  EXPECT_EQ(seconds, 896121015);
  ASSERT_TRUE(seconds_of_wmi_datetime(u"20261209072700.123456+000", seconds));
  EXPECT_EQ(seconds, 1796801220);
  ASSERT_TRUE(seconds_of_wmi_datetime(u"20261210003000.000000+540", seconds)) << "the next day in Tokyo";
  EXPECT_EQ(utc_time_text(seconds), u"2026-12-09T15:30:00Z");
  ASSERT_TRUE(seconds_of_wmi_datetime(u"20240229000000.000000+000", seconds));
  EXPECT_EQ(seconds, 1709164800);

  for (const char16_t* other : {u"", u"20261209072700.000000", u"20261209072700.000000+0000",
                                u"2026120907270*.000000+000", u"20261209072700,000000+000",
                                u"20261209072700.000000*000", u"20261309072700.000000+000",
                                u"20230229000000.000000+000", u"20261209240000.000000+000",
                                u"20261209076000.000000+000", u"19980416******.000000+***"}) {
    EXPECT_FALSE(seconds_of_wmi_datetime(other, seconds)) << utf16_to_utf8(other);
  }
}

TEST(utc_time_text, reads_back_what_it_writes) {
  for (const int64_t seconds : {int64_t{0}, int64_t{-1}, int64_t{896121015}, int64_t{1709164800},
                                int64_t{4102444799}}) {
    const std::u16string text = utc_time_text(seconds);
    int64_t back = 0;
    ASSERT_TRUE(seconds_of_utc_time_text(text, back)) << seconds;
    EXPECT_EQ(back, seconds);
  }
  EXPECT_EQ(utc_time_text(-1), u"1969-12-31T23:59:59Z");
  EXPECT_EQ(utc_time_text(4102444799), u"2099-12-31T23:59:59Z");
  int64_t seconds = 0;
  for (const char16_t* other : {u"2026-12-09 07:27:00Z", u"2026-12-09T07:27:00", u"2026-12-09T07:27:00+01:00",
                                u"2026-02-30T07:27:00Z", u"2026-12-09T07:27:60Z", u"２026-12-09T07:27:00Z"}) {
    EXPECT_FALSE(seconds_of_utc_time_text(other, seconds));
  }
}

}  // namespace
}  // namespace quillary
