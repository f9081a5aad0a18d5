// Line breaking of draw_wrapped_text with a font of known character sizes.
#include "ui/skin/text_wrap.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

// Every character 10 wide and 12 high; "W" is 30 wide and 14 high.
char_extent fixed(char16_t c) {
  if (c == u'W') return {30, 14};
  return {10, 12};
}

std::u16string line_text(const std::u16string& text, const wrapped_line& line) {
  return text.substr(line.start, line.length);
}

TEST(text_wrap, an_empty_text_lays_out_nothing) {
  const auto layout = wrap_text(u"", 100, 0, 100, 6, fixed);
  EXPECT_TRUE(layout.empty);
  EXPECT_TRUE(layout.lines.empty());
}

TEST(text_wrap, a_short_text_is_one_line_drawn_in_one_call) {
  const auto layout = wrap_text(u"Hello", 100, 30, 100, 6, fixed);
  ASSERT_EQ(layout.lines.size(), 1u);
  EXPECT_TRUE(layout.single_line);
  EXPECT_EQ(layout.lines[0].top, 30);
  EXPECT_EQ(layout.bottom, 42);
}

TEST(text_wrap, lines_break_after_the_last_blank_before_the_overflow) {
  // 10 characters fit a line of 100.
  const std::u16string text = u"one two three four";
  const auto layout = wrap_text(text, 100, 0, 1000, 6, fixed);
  ASSERT_EQ(layout.lines.size(), 2u);
  EXPECT_FALSE(layout.single_line);
  EXPECT_EQ(line_text(text, layout.lines[0]), u"one two ");
  EXPECT_EQ(line_text(text, layout.lines[1]), u"three four");
  EXPECT_EQ(layout.lines[1].top, 18);  // 12 high plus the gap of 6
  EXPECT_EQ(layout.bottom, 30);
}

TEST(text_wrap, a_word_longer_than_the_line_is_cut_where_it_overflows) {
  const std::u16string text = u"abcdefghijklmnop";
  const auto layout = wrap_text(text, 100, 0, 1000, 0, fixed);
  ASSERT_EQ(layout.lines.size(), 2u);
  EXPECT_EQ(line_text(text, layout.lines[0]), u"abcdefghij");
  EXPECT_EQ(line_text(text, layout.lines[1]), u"klmnop");
}

TEST(text_wrap, a_line_feed_ends_the_line_and_is_not_drawn) {
  const std::u16string text = u"ab\ncd";
  const auto layout = wrap_text(text, 100, 0, 1000, 6, fixed);
  ASSERT_EQ(layout.lines.size(), 2u);
  EXPECT_EQ(line_text(text, layout.lines[0]), u"ab");
  EXPECT_EQ(line_text(text, layout.lines[1]), u"cd");
  EXPECT_EQ(layout.bottom, 30);
}

TEST(text_wrap, an_empty_line_keeps_its_height) {
  const std::u16string text = u"ab\n\ncd";
  const auto layout = wrap_text(text, 100, 0, 1000, 0, fixed);
  ASSERT_EQ(layout.lines.size(), 3u);
  EXPECT_EQ(layout.lines[1].length, 0u);
  EXPECT_EQ(layout.lines[2].top, 24);
}

TEST(text_wrap, the_line_height_is_the_tallest_character_measured) {
  const std::u16string text = u"aW bbbbbbbb";
  const auto layout = wrap_text(text, 100, 0, 1000, 0, fixed);
  ASSERT_EQ(layout.lines.size(), 2u);
  EXPECT_EQ(layout.lines[0].height, 14);
  EXPECT_EQ(layout.lines[1].top, 14);
}

TEST(text_wrap, stops_before_a_line_that_would_pass_the_bottom) {
  const std::u16string text = u"one two three four five six";
  const auto layout = wrap_text(text, 100, 0, 20, 6, fixed);
  ASSERT_EQ(layout.lines.size(), 1u);
  // The bottom tells where the line that did not fit would end.
  EXPECT_EQ(layout.bottom, 30);
}

TEST(text_wrap, a_single_line_that_does_not_fit_is_not_drawn) {
  const auto layout = wrap_text(u"abc", 100, 0, 5, 0, fixed);
  EXPECT_TRUE(layout.lines.empty());
  EXPECT_EQ(layout.bottom, 12);
}

TEST(text_wrap, measuring_a_tall_column_gives_the_height_needed) {
  const std::u16string text = u"aaaa bbbb cccc dddd eeee";
  // Five characters to a line: five lines, 12 high, 6 apart.
  const auto layout = wrap_text(text, 50, 100, 1000, 6, fixed);
  EXPECT_EQ(layout.lines.size(), 5u);
  EXPECT_EQ(layout.bottom, 100 + 5 * 12 + 4 * 6);
}

TEST(text_wrap, a_character_wider_than_the_column_still_moves_on) {
  const std::u16string text = u"WW";
  const auto layout = wrap_text(text, 20, 0, 1000, 0, fixed);
  ASSERT_EQ(layout.lines.size(), 2u);
  EXPECT_EQ(line_text(text, layout.lines[0]), u"W");
  EXPECT_EQ(line_text(text, layout.lines[1]), u"W");
}

}  // namespace
}  // namespace quillary
