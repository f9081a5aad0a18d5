#include "platform/text.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

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
