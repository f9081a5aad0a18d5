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
  // A high byte in the last few bytes, past the eight-byte steps of the
  // plain-ASCII check, and none at all.
  EXPECT_EQ(decode_inf_bytes("[Strings]\nA=\"Caf\xE9"), "[Strings]\nA=\"Caf\xC3\xA9");
  EXPECT_EQ(decode_inf_bytes("[Version]\nSignature=x\n"), "[Version]\nSignature=x\n");
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

// --- other languages: the [Strings.LLLL] sections ------------------------

TEST(InfLanguages, AFileWithoutLanguageSectionsKeepsNoRawText) {
  inf_file_c inf;
  std::string reason;
  // [Strings.German] and the like name no LANGID: they only fill gaps of
  // the neutral text, as before.
  ASSERT_TRUE(inf.parse("[Sec]\nA = %Name%, %Other%\n"
                        "[Strings]\nName = \"Neutral\"\n"
                        "[Strings.German]\nOther = \"Deutsch\"\n[Strings.04G7]\n[Strings.12345]\n[Strings.]\n"
                        "[Strings.0x07]\n[Strings. 0407]\n",
                        reason))
      << reason;
  EXPECT_TRUE(inf.string_languages().empty());
  const inf_line& line = inf.find_section("Sec")->lines[0];
  EXPECT_EQ(line.fields, (std::vector<std::string>{"Neutral", "Deutsch"}));
  EXPECT_EQ(line.raw_text, -1) << "nothing is kept for languages a file does not have";
  EXPECT_EQ(inf.field_in_language(line, 1, 0), "Deutsch") << "no language: the neutral text";
}

TEST(InfLanguages, EachLanguageReadsItsOwnTokensAndTheNeutralOnesItLacks) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse("[Version]\nProvider = %Mfg%\nClass = Net\n"
                        "[Models]\n%Desc% (%Rev%) = Install, PCI\\VEN_1\n"
                        "\"%Desc%, 100%%\" = \"%Install%, x\", %Missing%, plain\n"
                        "[strings.0411]\nDesc = \"Japanese adapter\"\nrev = \"JA\"\n"
                        "[Strings]\nMfg = \"Norvik\"\nDesc = \"Adapter\"\nRev = \"A\"\nInstall = \"Inst\"\n"
                        "[Strings.0407]\nMfg = \"Norvik GmbH\"\nDesc = \"Netzwerkkarte\"\nInstall = \"De\"\n"
                        "[Strings.407]\nDesc = \"Not this one: .0407 came first\"\nRev = \"B\"\n",
                        reason))
      << reason;
  // Ascending, once each: .0407 and .407 are one language.
  ASSERT_EQ(inf.string_languages(), (std::vector<uint16_t>{0x0407, 0x0411}));
  const size_t german = 0, japanese = 1;
  const inf_section& models = *inf.find_section("Models");
  const inf_line& first = models.lines[0];
  EXPECT_EQ(first.key, "Adapter (A)") << "the neutral text is as before";
  EXPECT_EQ(inf.key_in_language(first, german), "Netzwerkkarte (B)");
  EXPECT_EQ(inf.key_in_language(first, japanese), "Japanese adapter (JA)");
  EXPECT_EQ(inf.field_in_language(first, 1, japanese), "PCI\\VEN_1") << "a field without tokens";

  // Quotes, commas inside them, %% and unknown tokens, as in the neutral text.
  const inf_line& second = models.lines[1];
  EXPECT_EQ(second.key, "Adapter, 100%");
  EXPECT_EQ(second.fields, (std::vector<std::string>{"Inst, x", "%Missing%", "plain"}));
  EXPECT_EQ(inf.key_in_language(second, german), "Netzwerkkarte, 100%");
  EXPECT_EQ(inf.field_in_language(second, 0, german), "De, x");
  EXPECT_EQ(inf.field_in_language(second, 0, japanese), "Inst, x") << "a token Japanese lacks: the neutral one";
  EXPECT_EQ(inf.field_in_language(second, 1, german), "%Missing%");
  EXPECT_EQ(inf.field_in_language(second, 2, german), "plain");
  EXPECT_EQ(inf.field_in_language(second, 3, german), "") << "no such field";

  const inf_line* provider = inf.line_of("version", "PROVIDER");
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->fields[0], "Norvik");
  EXPECT_EQ(inf.field_in_language(*provider, 0, german), "Norvik GmbH");
  EXPECT_EQ(inf.field_in_language(*provider, 0, japanese), "Norvik");
  const inf_line* plain = inf.line_of("Version", "Class");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->raw_text, -1) << "a line without a token reads the same in every language";
  EXPECT_EQ(inf.field_in_language(*plain, 0, german), "Net");
  EXPECT_EQ(inf.key_in_language(*plain, 5), "Class") << "a language the file does not have: the neutral text";
  EXPECT_EQ(inf.line_of("Version", "Nothing"), nullptr);
  EXPECT_EQ(inf.line_of("NoSection", "Class"), nullptr);

  // A second parse of the same object forgets the first file's languages.
  ASSERT_TRUE(inf.parse("[Strings]\nA=1\n", reason));
  EXPECT_TRUE(inf.string_languages().empty());
}

TEST(InfLanguages, ATokenOnlyInALocalizedSection) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse("[Models]\n%Desc% = Install, PCI\\VEN_1\n"
                        "[Strings]\nOther = \"x\"\n"
                        "[Strings.0411]\nDesc = \"Japanese\"\n"
                        "[Strings.0407]\nOther = \"y\"\n",
                        reason))
      << reason;
  const inf_line& line = inf.find_section("Models")->lines[0];
  // The neutral text takes it from the localized section, as before; a
  // language without it takes the neutral text's.
  EXPECT_EQ(line.key, "Japanese");
  ASSERT_EQ(inf.string_languages(), (std::vector<uint16_t>{0x0407, 0x0411}));
  EXPECT_EQ(inf.key_in_language(line, 0), "Japanese");
  EXPECT_EQ(inf.key_in_language(line, 1), "Japanese");
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

// The service reads a whole catalogue with one reader, which fills the last
// file's records again: nothing of an earlier file may show through.
TEST(InfSyntax, OneReaderForManyFilesReadsEachAsAFreshOne) {
  inf_file_c inf;
  std::string reason;
  ASSERT_TRUE(inf.parse("[Strings]\nName=\"A long provider name, past any short-string room\"\n"
                        "[Version]\nProvider=%Name%\nClass=Net, extra, fields\n[Models]\nm1=i,ID1\nm2=i,ID2\n"
                        "[Other]\nk=v\n",
                        reason))
      << reason;
  ASSERT_EQ(inf.sections().size(), 4u);  // every section taken apart, so each record has room to keep

  EXPECT_FALSE(inf.parse("[Version]\nProvider=x\n[Broken\n", reason));
  EXPECT_TRUE(inf.sections().empty()) << "a failed file has no sections";
  EXPECT_EQ(inf.find_section("Version"), nullptr);

  const std::string second = "[version]\nprovider = short\n[Models]\nm1=i\n";
  ASSERT_TRUE(inf.parse(second, reason)) << reason;
  inf_file_c fresh;
  ASSERT_TRUE(fresh.parse(second, reason)) << reason;
  ASSERT_EQ(inf.sections().size(), fresh.sections().size());
  for (size_t s = 0; s < fresh.sections().size(); ++s) {
    const inf_section& reused = inf.sections()[s];
    const inf_section& expected = fresh.sections()[s];
    EXPECT_EQ(reused.name, expected.name);
    ASSERT_EQ(reused.lines.size(), expected.lines.size()) << expected.name;
    for (size_t l = 0; l < expected.lines.size(); ++l) {
      EXPECT_EQ(reused.lines[l].key, expected.lines[l].key);
      EXPECT_EQ(reused.lines[l].fields, expected.lines[l].fields);
      EXPECT_EQ(reused.lines[l].line_number, expected.lines[l].line_number);
    }
  }
  EXPECT_EQ(inf.value_of("Version", "Provider"), "short");
  EXPECT_EQ(inf.value_of("Version", "Class"), "");
  EXPECT_EQ(inf.find_section("Strings"), nullptr);
  EXPECT_EQ(inf.find_section("Other"), nullptr);
}

}  // namespace
}  // namespace quillary
