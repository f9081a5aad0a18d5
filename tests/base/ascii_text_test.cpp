// The ASCII helpers: identifiers fold only ASCII letters, and protocol
// numbers are plain digits within a digit limit.
#include "base/ascii_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quillary {
namespace {

TEST(ascii_text, case_folding_touches_ascii_letters_only) {
  EXPECT_EQ(to_upper_ascii("pci\\ven_8086&dev_1E31 \xC3\xA9"), "PCI\\VEN_8086&DEV_1E31 \xC3\xA9");
  EXPECT_TRUE(equal_ignore_case_ascii("DriverVer", "DRIVERVER"));
  EXPECT_FALSE(equal_ignore_case_ascii("\xC3\xA9", "\xC3\x89"));  // é and É stay apart
  EXPECT_FALSE(equal_ignore_case_ascii("Version", "Versions"));
  EXPECT_TRUE(starts_with_ignore_case_ascii("Strings.0409", "strings."));
  EXPECT_FALSE(starts_with_ignore_case_ascii("Str", "strings."));
  EXPECT_EQ(trim_blanks(" \t\r\n a b \n"), "a b");
  EXPECT_EQ(trim_blanks(" \t "), "");
}

TEST(ascii_text, classes_are_the_c_locales_and_trimming_keeps_each_readers_set) {
  for (const char c : std::string(" \t\n\v\f\r")) EXPECT_TRUE(is_ascii_space(c)) << int(c);
  for (const char c : std::string("a\0\x1F\xA0\x85", 5)) EXPECT_FALSE(is_ascii_space(c)) << int(c);
  EXPECT_TRUE(is_ascii_digit('0'));
  EXPECT_FALSE(is_ascii_digit('\xB2'));  // superscript two in Windows-1252
  EXPECT_TRUE(is_ascii_letter('Z'));
  EXPECT_FALSE(is_ascii_letter('\xE9'));
  EXPECT_EQ(hex_digit_value('7'), 7);
  EXPECT_EQ(hex_digit_value('c'), 12);
  EXPECT_EQ(hex_digit_value('F'), 15);
  EXPECT_EQ(hex_digit_value('g'), -1);
  EXPECT_EQ(hex_digit_value('x'), -1);
  EXPECT_EQ(to_lower_ascii('Q'), 'q');
  EXPECT_EQ(to_lower_ascii('\xC9'), '\xC9');
  EXPECT_EQ(to_upper_ascii('q'), 'Q');

  EXPECT_EQ(trim_ascii(" \t key \r\n", " \t"), "key \r\n");
  EXPECT_EQ(trim_ascii("\"Debian GNU/Linux\"\n", " \t\r\n\""), "Debian GNU/Linux");
  EXPECT_EQ(trim_ascii(" \t", " \t"), "");
  EXPECT_EQ(trim_ascii_end(" RWQ= \t", " \t"), " RWQ=");
  EXPECT_EQ(trim_ascii_end("\t\t", " \t"), "");
  EXPECT_EQ(trim_blanks("\v a \f"), "\v a \f") << "vertical tab and form feed are no blanks here";
}

TEST(ascii_text, numbers_are_plain_digits_within_their_limit) {
  uint64_t value = 0;
  EXPECT_TRUE(parse_decimal("18446744073709551", value, 18));
  EXPECT_EQ(value, 18446744073709551u);
  EXPECT_TRUE(parse_decimal("0042", value, 4));
  EXPECT_EQ(value, 42u);
  for (const char* bad : {"", "12345", "-1", "+1", " 1", "1 ", "1a"}) {
    EXPECT_FALSE(parse_decimal(bad, value, 4)) << bad;
  }
  EXPECT_TRUE(parse_hex("ffFFffFFffFFffFF", value));
  EXPECT_EQ(value, 0xFFFFFFFFFFFFFFFFu);
  EXPECT_TRUE(parse_hex("F8", value, 2));
  EXPECT_EQ(value, 0xF8u);
  for (const char* bad : {"", "0x1", "g", "1FF"}) {
    EXPECT_FALSE(parse_hex(bad, value, 2)) << bad;
  }
}

}  // namespace
}  // namespace quillary
