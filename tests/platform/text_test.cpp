#include "platform/text.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

TEST(text, utf8_round_trip_keeps_every_plane) {
  const std::string utf8 = "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";  // A é 日 😀
  const std::u16string utf16 = utf8_to_utf16(utf8);
  EXPECT_EQ(utf16, (std::u16string{u'A', 0xE9, 0x65E5, 0xD83D, 0xDE00}));
  EXPECT_EQ(utf16_to_utf8(utf16), utf8);
}

TEST(text, invalid_utf8_becomes_one_replacement_per_broken_sequence) {
  const char16_t r = 0xFFFD;
  // A stray continuation byte, a lead byte without its continuation, an
  // overlong form, an encoded surrogate, a value above U+10FFFF.
  EXPECT_EQ(utf8_to_utf16("a\x80" "b"), (std::u16string{u'a', r, u'b'}));
  EXPECT_EQ(utf8_to_utf16("\xE6\x97"), (std::u16string{r}));
  EXPECT_EQ(utf8_to_utf16("\xE6\x97x"), (std::u16string{r, u'x'}));
  EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), (std::u16string{r, r}));
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), (std::u16string{r, r, r}));
  EXPECT_EQ(utf8_to_utf16("\xF4\x90\x80\x80"), (std::u16string{r, r, r, r}));
  EXPECT_EQ(utf8_to_utf16("\xFF"), (std::u16string{r}));
}

TEST(text, unpaired_surrogates_become_replacement_characters_in_utf8) {
  EXPECT_EQ(utf16_to_utf8(std::u16string{0xD800, u'a'}), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(utf16_to_utf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

TEST(text, ascii_conversion_keeps_high_bytes_as_latin1_not_sign_extended) {
  EXPECT_EQ(ascii_to_utf16("ab\xE9"), (std::u16string{u'a', u'b', 0xE9}));
}

TEST(text, case_insensitive_equality_of_names_the_program_compares) {
  EXPECT_TRUE(equal_ignore_case(u"--AutoRun", u"--autorun"));
  EXPECT_TRUE(equal_ignore_case(u"FRANÇAIS", u"français"));
  EXPECT_TRUE(equal_ignore_case(u"ESPAÑOL", u"Español"));
  EXPECT_TRUE(equal_ignore_case(u"日本語", u"日本語"));
  EXPECT_FALSE(equal_ignore_case(u"English", u"English "));
  EXPECT_FALSE(equal_ignore_case(u"root", u"roots"));
  // Like the system's comparison, both texts end at their first NUL.
  EXPECT_TRUE(equal_ignore_case(std::u16string(u"ROOT\0x", 6), u"root"));
}

TEST(text, up_to_nul_cuts_at_the_first_terminator) {
  EXPECT_EQ(up_to_nul(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(up_to_nul(std::u16string_view(u"abc")), u"abc");
}

}  // namespace
}  // namespace quillary
