// The ASCII helpers: identifiers fold only ASCII letters, and protocol
// numbers are plain digits within a digit limit.
#include "base/ascii_text.h"

#include <gtest/gtest.h>

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
