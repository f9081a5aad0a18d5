// The INF reader the client and the service share: the three encodings of
// the bytes, the syntax, string tokens and merged sections.
#include <gtest/gtest.h>

#include "base/inf_file.h"
#include "base/inf_text.h"
#include "test_support.h"

namespace quillary {
namespace {

TEST(InfEncoding, ReadsEachEncodingIntoTheSameUtf8) {
  const std::string expected = "[Strings]\nA=\"Caf\xC3\xA9 \xE2\x84\xA2\"\n";  // "Café ™"
  EXPECT_EQ(decode_inf_bytes(testing::utf16le_bytes(u"[Strings]\nA=\"Caf\u00e9 \u2122\"\n", true)), expected);
  EXPECT_EQ(decode_inf_bytes(testing::utf16le_bytes(u"[Strings]\nA=\"Caf\u00e9 \u2122\"\n", false)), expected);
  EXPECT_EQ(decode_inf_bytes("\xEF\xBB\xBF" + expected), expected);
  EXPECT_EQ(decode_inf_bytes("[Strings]\nA=\"Caf\xE9 \x99\"\n"), expected);  // Windows-1252
}

TEST(InfEncoding, BrokenUtf8AndOddUtf16AreSanitised) {
  EXPECT_EQ(decode_inf_bytes("\xEF\xBB\xBF" "a\xC3"), "a\xEF\xBF\xBD");
  // An odd trailing byte of UTF-16 is dropped; an unpaired surrogate is U+FFFD.
  EXPECT_EQ(decode_inf_bytes(std::string("\xFF\xFE" "a\0\x00\xD8" "b", 7)), "a\xEF\xBF\xBD");
}

TEST(InfSyntax, CommentsQuotesAndContinuations) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse("; heading comment\r\n"
                        "[Sec]\r\n"
                        "Key = \"a;b\" , c ; trailing comment\r\n"
                        "Long = first, \\\r\n"
                        "       second\r\n"
                        "Quote = \"say \"\"hi\"\"\"\r\n"
                        "  NoKey , , last  \r\n"
                        "\"Quoted=Key\" = v\r\n",
                        reason))
      << reason;
  const inf_section* sec = inf.find_section("sec");
  ASSERT_NE(sec, nullptr);
  ASSERT_EQ(sec->lines.size(), 5u);
  EXPECT_EQ(sec->lines[0].key, "Key");
  EXPECT_EQ(sec->lines[0].fields, (std::vector<std::string>{"a;b", "c"}));
  EXPECT_EQ(sec->lines[1].fields, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(sec->lines[1].line_number, 4);
  EXPECT_EQ(inf.value_of("SEC", "quote"), "say \"hi\"");
  EXPECT_FALSE(sec->lines[3].has_key);
  EXPECT_EQ(sec->lines[3].fields, (std::vector<std::string>{"NoKey", "", "last"}));
  EXPECT_EQ(sec->lines[4].key, "Quoted=Key");
}

TEST(InfSyntax, StringTokensAndLocalizedStrings) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse("[Sec]\n"
                        "A = %Name% driver, 100%%, %12%\\x.sys, %Missing%\n"
                        "B = %LOCAL%\n"
                        "[strings.0407]\nLocal = \"Deutsch\"\nName = \"German name\"\n"
                        "[Strings.0409]\nlocal = \"English\"\n"
                        "[Strings]\nname = \"Norvik, Inc.\"\n",
                        reason))
      << reason;
  // Token names ignore case; [Strings] wins, then US English, then the rest.
  EXPECT_EQ(inf.find_section("Sec")->lines[0].fields,
            (std::vector<std::string>{"Norvik, Inc. driver", "100%", "%12%\\x.sys", "%Missing%"}));
  EXPECT_EQ(inf.value_of("Sec", "B"), "English");
}

TEST(InfSyntax, SectionsOfTheSameNameAreMergedAndCtrlZEndsTheText) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse("[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n\x1A[C]\n", reason)) << reason;
  EXPECT_EQ(inf.find_section("A")->lines.size(), 2u);
  EXPECT_EQ(inf.value_of("A", "z"), "3");
  EXPECT_EQ(inf.find_section("C"), nullptr);
}

TEST(InfSyntax, ANulEndsOnlyItsLine) {
  inf_file_c inf;
  std::string reason;
  const std::string text("[A]\nx=1\0 trailing\" junk\ny=2\n\0[Hidden]\n[B]\nz=3\n", 46);
  ASSERT_TRUE(inf.parse(text, reason)) << reason;
  EXPECT_EQ(inf.value_of("A", "x"), "1") << "not the quote after the NUL";
  EXPECT_EQ(inf.value_of("A", "y"), "2") << "the text goes on after the line";
  EXPECT_EQ(inf.find_section("Hidden"), nullptr);
  EXPECT_EQ(inf.value_of("B", "z"), "3");
}

TEST(InfSyntax, MalformedTextIsRejectedWithTheLine) {
  inf_file_c inf;
  std::string reason;
  EXPECT_FALSE(inf.parse("[Version]\nSignature=\"$Windows NT$\n", reason));
  EXPECT_EQ(reason, "unclosed quote on line 2");
  EXPECT_FALSE(inf.parse("[Version]\n[Models\n", reason));
  EXPECT_EQ(reason, "unclosed section header on line 2");
  EXPECT_FALSE(inf.parse("\n\ngarbage\n[Version]\n", reason));
  EXPECT_EQ(reason, "text before the first section on line 3");
}

}  // namespace
}  // namespace quillary
