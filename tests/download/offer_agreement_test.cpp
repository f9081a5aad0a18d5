// The check of an extracted package against its offer: real INF texts in
// each encoding, DriverVer spelled every way the syntax allows, the rule
// for versions, paths that name nothing or would leave the package, and
// hostile files.
#include "download/offer_agreement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "service/update_matching.h"
#include "test_support.h"

namespace quillary {
namespace {

// An INF as vendors write it, with non-ASCII text in its strings.
std::u16string sample_inf(std::u16string_view driver_ver_line) {
  return u"; Norvik Gigabit Adapter\r\n"
         u"[Version]\r\n"
         u"Signature   = \"$Windows NT$\"\r\n"
         u"Class       = Net\r\n"
         u"ClassGuid   = {4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
         u"Provider    = %Maker%\r\n" +
         std::u16string(driver_ver_line) +
         u"\r\n"
         u"CatalogFile = norvik.cat\r\n"
         u"\r\n"
         u"[Manufacturer]\r\n"
         u"%Maker% = Models, NTamd64\r\n"
         u"[Models.NTamd64]\r\n"
         u"%Desc% = Install, PCI\\VEN_1AF4&DEV_1000\r\n"
         u"[Strings]\r\n"
         u"Maker = \"Norvik Caf\u00e9\u2122\"\r\n"
         u"Desc  = \"Norvik Gigabit \u00c9thernet\"\r\n";
}

std::string utf8_bytes(std::u16string_view text) { return utf16_to_utf8(text); }

// Windows-1252 bytes of text that holds only ASCII, é, É and ™.
std::string cp1252_bytes(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) out.push_back(c == 0x2122 ? '\x99' : static_cast<char>(c));
  return out;
}

constexpr std::u16string_view standard_line = u"DriverVer   = 06/21/2012,6.1.7600.16385 ; WHQL build";
constexpr std::u16string_view offered_version = u"6.1.7600.16385";
constexpr std::u16string_view offered_date = u"2012-06-21";

offer_verdict verdict_for(const std::string& bytes, std::u16string_view version = offered_version,
                          std::u16string_view date = offered_date) {
  return check_inf_against_offer(bytes, version, date).verdict;
}

void write_file(const std::u16string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

TEST(offer_agreement, the_same_inf_in_every_encoding_agrees_with_its_offer) {
  testing::temp_folder_c folder;
  const std::u16string text = sample_inf(standard_line);
  const std::pair<const char*, std::string> files[] = {
      {"utf16_mark", testing::utf16le_bytes(text, true)},
      {"utf16_bare", testing::utf16le_bytes(text, false)},
      {"utf8_mark", "\xEF\xBB\xBF" + utf8_bytes(text)},
      {"cp1252", cp1252_bytes(text)},
      // UTF-8 without a mark is read as Windows-1252: its strings come out
      // garbled, but DriverVer is ASCII either way.
      {"utf8_bare", utf8_bytes(text)},
  };
  for (const auto& [name, bytes] : files) {
    write_file(folder.below(std::string(name) + "/Win7/x64/norvik.inf"), bytes);
    const std::u16string inf_path = u"Win7\\x64\\norvik.inf";
    const offer_agreement result =
        check_offer_agreement(folder.below(name), inf_path, offered_version, offered_date);
    EXPECT_EQ(result.verdict, offer_verdict::matches) << name << ": " << result.reason;
    EXPECT_EQ(result.reason, "") << name;
  }
}

TEST(offer_agreement, driver_ver_is_read_through_comments_quotes_blanks_and_continuations) {
  for (const std::u16string_view line : {
           u"DriverVer=06/21/2012,6.1.7600.16385",
           u"  driverver  =  \"06/21/2012\"  ,  \"6.1.7600.16385\"  ; \"quoted; comment\"",
           u"DriverVer = 06-21-2012, \\\r\n          6.1.7600.16385",
           u"DriverVer = 6/21/2012,6.1.7600.16385,extra",
           u"DriverVer = %Date%,%Ver%\r\n[Strings.0409]\r\nDate=\"06/21/2012\"\r\nVer=6.1.7600.16385",
       }) {
    EXPECT_EQ(verdict_for(utf8_bytes(sample_inf(line))), offer_verdict::matches) << utf8_bytes(line);
  }
}

TEST(offer_agreement, the_first_of_two_driver_ver_lines_counts_as_for_the_service) {
  const std::string twice = utf8_bytes(sample_inf(u"DriverVer=06/21/2012,6.1.7600.16385\r\nDriverVer=01/01/2010,1.0.0.0"));
  EXPECT_EQ(verdict_for(twice), offer_verdict::matches);
  EXPECT_EQ(verdict_for(twice, u"1.0.0.0", u"2010-01-01"), offer_verdict::date_differs);
}

TEST(offer_agreement, versions_agree_when_their_four_numbers_do) {
  const auto agree = [](std::u16string_view inf_version, std::u16string_view offer_version) {
    const std::u16string line = u"DriverVer=06/21/2012," + std::u16string(inf_version);
    const offer_verdict v = verdict_for(utf8_bytes(sample_inf(line)), offer_version);
    EXPECT_TRUE(v == offer_verdict::matches || v == offer_verdict::version_differs);
    if (v == offer_verdict::matches) {
      // What agrees must also rank alike in the program's own ordering.
      EXPECT_FALSE(version_greater(inf_version, offer_version));
      EXPECT_FALSE(version_greater(offer_version, inf_version));
    }
    return v == offer_verdict::matches;
  };
  EXPECT_TRUE(agree(u"6.1.7600.16385", u"6.1.7600.16385"));
  EXPECT_TRUE(agree(u"6.1", u"6.1.0.0"));
  EXPECT_TRUE(agree(u"6.1.0.0", u"6.1"));
  EXPECT_TRUE(agree(u"06.001.0.0", u"6.1"));
  EXPECT_FALSE(agree(u"6.1", u"6.1.0.1"));
  EXPECT_FALSE(agree(u"6.1.7600.16385", u"6.1.7600.16384"));
  EXPECT_FALSE(agree(u"6.1.7600.16385", u"16385.7600.1.6"));
  // Offers the service never writes: another separator, blanks, words, too
  // many parts, nothing at all.
  for (const std::u16string_view odd : {u"6,1,7600,16385", u" 6.1.7600.16385", u"6.1.7600.16385 ", u"v6.1",
                                        u"6.1.7600.16385.0", u"", u"6.1.7600.163850"}) {
    EXPECT_FALSE(agree(u"6.1.7600.16385", odd)) << utf16_to_utf8(odd);
  }
  // An INF without a version is 0.0.0.0, which the service offers.
  EXPECT_EQ(verdict_for(utf8_bytes(sample_inf(u"DriverVer=06/21/2012")), u"0.0.0.0"), offer_verdict::matches);
  EXPECT_EQ(verdict_for(utf8_bytes(sample_inf(u"DriverVer=06/21/2012")), u""), offer_verdict::version_differs);
}

TEST(offer_agreement, dates_agree_only_in_the_normalised_form_and_are_checked_first) {
  const std::string inf = utf8_bytes(sample_inf(standard_line));
  EXPECT_EQ(verdict_for(inf, offered_version, u"2012-06-22"), offer_verdict::date_differs);
  EXPECT_EQ(verdict_for(inf, offered_version, u"2012-6-21"), offer_verdict::date_differs);
  EXPECT_EQ(verdict_for(inf, offered_version, u"06/21/2012"), offer_verdict::date_differs);
  EXPECT_EQ(verdict_for(inf, offered_version, u""), offer_verdict::date_differs);
  EXPECT_EQ(verdict_for(inf, u"9.9", u"2011-01-01"), offer_verdict::date_differs);
  EXPECT_EQ(verdict_for(utf8_bytes(sample_inf(u"DriverVer=6/1/2012,1.0")), u"1.0", u"2012-06-01"),
            offer_verdict::matches);
}

TEST(offer_agreement, reasons_name_the_inf_and_both_values) {
  testing::temp_folder_c folder;
  write_file(folder.below("x64/norvik.inf"), utf8_bytes(sample_inf(standard_line)));
  const auto reason = [&](std::u16string_view version, std::u16string_view date) {
    return check_offer_agreement(folder.text(), u"x64\\norvik.inf", version, date).reason;
  };
  EXPECT_EQ(reason(offered_version, u"2013-01-01"),
            "x64\\norvik.inf: the INF's DriverVer date is 2012-06-21, the offer's 2013-01-01");
  EXPECT_EQ(reason(u"6.2", offered_date), "x64\\norvik.inf: the INF's DriverVer version is 6.1.7600.16385, the offer's 6.2");
  EXPECT_EQ(reason(u"6,2", offered_date),
            "x64\\norvik.inf: the offer's version \"6,2\" is no version (the INF's is 6.1.7600.16385)");
  EXPECT_EQ(check_offer_agreement(folder.text(), u"x86\\norvik.inf", offered_version, offered_date).reason,
            "x86\\norvik.inf: the package holds no such INF");
  // Outside text stays on one line and within bounds.
  const std::string hostile = reason(u"1\n\x1b[2J" + std::u16string(1000, u'9'), offered_date);
  EXPECT_EQ(hostile.find_first_of("\n\x1b"), std::string::npos) << hostile;
  EXPECT_LT(hostile.size(), 250u);
}

TEST(offer_agreement, an_inf_that_is_not_there_or_not_inside_the_package_is_missing) {
  testing::temp_folder_c folder;
  write_file(folder.below("pkg/a.inf"), utf8_bytes(sample_inf(standard_line)));
  // A good INF beside the package: a path that climbs out must not reach it.
  write_file(folder.below("outside.inf"), utf8_bytes(sample_inf(standard_line)));
  std::filesystem::create_directories(folder.path() / "pkg" / "folder.inf");
  const std::u16string package = folder.below("pkg");
  EXPECT_EQ(check_offer_agreement(package, u"a.inf", offered_version, offered_date).verdict, offer_verdict::matches);
  for (const std::u16string_view path :
       {u"b.inf", u"folder.inf", u"sub\\a.inf", u"..\\outside.inf", u"../outside.inf", u"x\\..\\..\\outside.inf",
        u"\\outside.inf", u"C:\\outside.inf", u"a.inf:stream", u"", u"NUL", u"..."}) {
    const offer_agreement result = check_offer_agreement(package, path, offered_version, offered_date);
    EXPECT_EQ(result.verdict, offer_verdict::inf_missing) << utf16_to_utf8(path);
    EXPECT_NE(result.reason, "") << utf16_to_utf8(path);
  }
  const std::u16string with_nul(u"a.inf\0.txt", 10);
  EXPECT_EQ(check_offer_agreement(package, with_nul, offered_version, offered_date).verdict,
            offer_verdict::inf_missing);
}

TEST(offer_agreement, files_that_are_no_inf_or_have_no_driver_ver_are_unreadable) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919 + 13) & 0xFF));
  const std::string cases[] = {
      garbage,
      std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16),
      "",
      utf8_bytes(u"[Version]\r\nSignature=\"$Windows NT$\r\nDriverVer=06/21/2012,1.0\r\n"),  // unclosed quote
      utf8_bytes(u"[Strings]\r\nDriverVer=06/21/2012,6.1.7600.16385\r\n"),                  // no [Version]
      utf8_bytes(sample_inf(u"Comment = no date here")),
      utf8_bytes(sample_inf(u"DriverVer = 2012-06-21,6.1.7600.16385")),
      utf8_bytes(sample_inf(u"DriverVer = 06/21/2012,6.1.7600.16385.1")),
      // DriverVer after a NUL is cut off with the rest of the text.
      std::string("[Version]\r\n") + '\0' + "DriverVer=06/21/2012,6.1.7600.16385\r\n",
  };
  for (const std::string& bytes : cases) {
    const offer_agreement result = check_inf_against_offer(bytes, offered_version, offered_date);
    EXPECT_EQ(result.verdict, offer_verdict::inf_unreadable) << bytes.substr(0, 60);
    EXPECT_NE(result.reason, "");
  }
}

TEST(offer_agreement, hostile_files_are_refused_or_read_never_crash) {
  const std::string good = utf8_bytes(sample_inf(standard_line));
  // UTF-16 of odd length: the stray last byte is dropped.
  EXPECT_EQ(verdict_for(testing::utf16le_bytes(sample_inf(standard_line), true) + "x"), offer_verdict::matches);
  // A lone high surrogate in the middle of UTF-16 text.
  std::u16string broken = sample_inf(standard_line);
  broken.insert(broken.find(u"[Manufacturer]"), 1, char16_t(0xD800));
  EXPECT_EQ(verdict_for(testing::utf16le_bytes(broken, true)), offer_verdict::matches);
  // Lines of megabytes, in a section of their own and in DriverVer itself.
  const std::string long_line(3u << 20, 'A');
  EXPECT_EQ(verdict_for(good + "[Junk]\r\nKey=" + long_line + "\r\n"), offer_verdict::matches);
  const offer_agreement huge_version = check_inf_against_offer(
      utf8_bytes(sample_inf(u"DriverVer=06/21/2012,1." + std::u16string(3u << 20, u'1'))), offered_version,
      offered_date);
  EXPECT_EQ(huge_version.verdict, offer_verdict::inf_unreadable);
  EXPECT_LT(huge_version.reason.size(), 250u);
  // A continuation that never ends, and a million empty fields.
  EXPECT_EQ(verdict_for(good + "[Junk]\r\n" + std::string(1u << 20, '\\')), offer_verdict::matches);
  EXPECT_EQ(verdict_for(good + "[Junk]\r\nKey=" + std::string(1u << 20, ',') + "\r\n"), offer_verdict::matches);
}

TEST(offer_agreement, an_inf_larger_than_the_services_limit_is_refused) {
  testing::temp_folder_c folder;
  std::string inf = utf8_bytes(sample_inf(standard_line)) + "[Padding]\r\n";
  inf += std::string(max_offer_inf_size - inf.size() - 2, ';') + "\r\n";
  ASSERT_EQ(inf.size(), max_offer_inf_size);
  write_file(folder.below("limit.inf"), inf);
  write_file(folder.below("over.inf"), inf + ";");
  EXPECT_EQ(check_offer_agreement(folder.text(), u"limit.inf", offered_version, offered_date).verdict,
            offer_verdict::matches);
  const offer_agreement over = check_offer_agreement(folder.text(), u"over.inf", offered_version, offered_date);
  EXPECT_EQ(over.verdict, offer_verdict::inf_unreadable);
  EXPECT_EQ(over.reason, "over.inf: the INF is larger than 8 MiB");
}

}  // namespace
}  // namespace quillary
