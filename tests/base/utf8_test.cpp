// The UTF-8 and UTF-16 conversion every outside text goes through.
#include "base/utf8.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

TEST(utf8, round_trip_keeps_every_plane) {
  const std::string utf8 = "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";  // A é 日 😀
  const std::u16string utf16 = utf8_to_utf16(utf8);
  EXPECT_EQ(utf16, (std::u16string{u'A', 0xE9, 0x65E5, 0xD83D, 0xDE00}));
  EXPECT_EQ(utf16_to_utf8(utf16), utf8);
}

TEST(utf8, invalid_utf8_becomes_one_replacement_per_broken_sequence) {
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

TEST(utf8, unpaired_surrogates_become_replacement_characters_in_utf8) {
  EXPECT_EQ(utf16_to_utf8(std::u16string{0xD800, u'a'}), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(utf16_to_utf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace quillary
