#include "app/language.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "platform/text.h"

namespace quillary {
namespace {

// --- the two line patterns ----------------------------------------------

// The patterns as regular expressions: the hand matcher must agree with
// them on every line.
const std::regex& section_pattern() {
  static const std::regex pattern(R"re(^\s*\[(.*)\]\s*$)re");
  return pattern;
}
const std::regex& entry_pattern() {
  static const std::regex pattern(R"re(^\s*([^;].*)\s*=\s*"(.+)"\s*$)re");
  return pattern;
}

void expect_same_as_regex(const std::string& line) {
  std::smatch match;
  const auto section = match_section_line(line);
  if (std::regex_match(line, match, section_pattern())) {
    ASSERT_TRUE(section.has_value()) << testing::PrintToString(line);
    EXPECT_EQ(*section, match[1].str()) << testing::PrintToString(line);
  } else {
    EXPECT_FALSE(section.has_value()) << testing::PrintToString(line);
  }
  const auto entry = match_entry_line(line);
  if (std::regex_match(line, match, entry_pattern())) {
    ASSERT_TRUE(entry.has_value()) << testing::PrintToString(line);
    EXPECT_EQ(entry->key, match[1].str()) << testing::PrintToString(line);
    EXPECT_EQ(entry->value, match[2].str()) << testing::PrintToString(line);
  } else {
    EXPECT_FALSE(entry.has_value()) << testing::PrintToString(line);
  }
}

TEST(language_line, matcher_agrees_with_the_regular_expressions) {
  const std::string cases[] = {
      "[English]\n", "  [ Deutsch ]  \n", "[a]b]\n", "[a] x\n", "[]\n", "[\n", "[a\rb]\n",
      "key=\"value\"\n", "key = \"value\"\n", "  key=\"v\"  \n", ";key=\"v\"\n", " ;key=\"v\"\n",
      "key=\"\"\n", "key=\"a\"b\"\n", "a=\"b\" = \"c\"\n", "=\"v\"\n", "k=\"v\r\"\n",
      "k\r=\"v\"\n", "\n", "", "  \n", "k=v\n", "k=\"v\" x\n", "\tk\t=\t\"\tv\t\"\t\n",
      "k==\"v\"\n", "k=\"=\"\"\n", "[x]=\"y\"\n", " =\"v\"\n", "\n=\"v\"",
  };
  for (const auto& line : cases) expect_same_as_regex(line);
}

TEST(language_line, matcher_agrees_with_the_regular_expressions_on_random_lines) {
  const std::string alphabet[] = {" ", "\t", "\n", "\r", ";", "=", "\"", "[", "]", "a", "k",
                                  "\\", "\xC3\xA9", "\v", "#"};
  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    const int length = random() % 16;
    for (int i = 0; i < length; ++i) line += alphabet[random() % std::size(alphabet)];
    expect_same_as_regex(line);
    if (HasFailure()) return;
  }
}

TEST(language_line, key_keeps_blanks_before_the_equals_sign) {
  const auto entry = match_entry_line("btn_ok =\"OK\"\n");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->key, "btn_ok ");
}

TEST(language_line, a_long_line_is_matched_without_trouble) {
  const std::string value(2000, 'v');
  const auto entry = match_entry_line("k=\"" + value + "\"\n");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->value, value);
  const std::string blanks(2040, ' ');
  EXPECT_FALSE(match_entry_line(blanks + "x"));
  EXPECT_TRUE(match_entry_line(blanks + "x=\"1\""));
}

TEST(language_value, escapes_become_tab_then_line_feed_and_utf8_is_decoded) {
  EXPECT_EQ(decode_language_value("a\\tb\\nc"), u"a\tb\nc");
  EXPECT_EQ(decode_language_value("caf\xC3\xA9"), u"café");
  EXPECT_EQ(decode_language_value("say \"hi\""), u"say \"hi\"");
  EXPECT_EQ(decode_language_value("%d%%"), u"%d%%");
}

// --- reading lines ----------------------------------------------------------

TEST(language_lines, text_mode_and_the_line_buffer) {
  EXPECT_EQ(read_language_lines("a\r\nb\rc\n"), (std::vector<std::string>{"a\n", "b\rc\n"}));
  EXPECT_EQ(read_language_lines("a\nb"), (std::vector<std::string>{"a\n", "b"}));
  EXPECT_EQ(read_language_lines("a\n\x1A" "b\n"), (std::vector<std::string>{"a\n"}));
  EXPECT_EQ(read_language_lines(std::string("a\0b\n", 4)), (std::vector<std::string>{"a"}));
  const auto long_lines = read_language_lines(std::string(5000, 'x') + "\n");
  ASSERT_EQ(long_lines.size(), 3u);
  EXPECT_EQ(long_lines[0].size(), 2047u);
  EXPECT_EQ(long_lines[1].size(), 2047u);
  EXPECT_EQ(long_lines[2], std::string(906, 'x') + "\n");
}

// --- loading sections -------------------------------------------------------

class language_load : public ::testing::Test {
 protected:
  language_table_c table;
};

constexpr char sample[] =
    "; texts\n"
    "[English]\n"
    "btn_ok=\"OK\"\n"
    "btn_cancel=\"Cancel\"\n"
    "only_english=\"E\"\n"
    "[Deutsch]\n"
    "btn_ok=\"Gut\"\n"
    "btn_ok=\"Zweiter\"\n"
    "; btn_cancel=\"Kommentar\"\n"
    "greeting=\"Hallo\\nWelt\"\n"
    "[Deutsch]\n"
    "btn_cancel=\"Direkt danach\"\n"
    "[Français]\n"
    "btn_ok=\"D'accord\"\n"
    "[Deutsch]\n"
    "late=\"Spät\"\n"
    "btn_ok=\"Spät\"\n";

TEST_F(language_load, chosen_section_then_english_fills_the_gaps) {
  table.load_text(sample, u"deutsch", true);
  table.load_text(sample, u"English", false);
  EXPECT_EQ(table.text_of("btn_ok"), u"Gut") << "the first of two equal keys wins";
  EXPECT_EQ(table.text_of("greeting"), u"Hallo\nWelt");
  EXPECT_EQ(table.text_of("btn_cancel"), u"Cancel")
      << "the comment is skipped, and the section right after the wanted one is not loaded";
  EXPECT_EQ(table.text_of("late"), u"Spät") << "a section repeated later is loaded again";
  EXPECT_EQ(table.text_of("only_english"), u"E");
  EXPECT_EQ(table.current_language(), u"Deutsch");
  EXPECT_EQ(table.language_list(),
            (std::vector<std::u16string>{u"English", u"Deutsch", u"Deutsch", u"Français", u"Deutsch"}));
}

TEST_F(language_load, the_index_follows_the_last_matching_section) {
  table.load_text(sample, u"Deutsch", true);
  EXPECT_EQ(table.current_index(), 4) << "the last Deutsch section that was compared";
  table.load_text(sample, u"English", false);
  EXPECT_EQ(table.current_index(), 4) << "loading English does not move the index";
}

TEST_F(language_load, a_missing_key_gives_an_empty_text_and_stays_empty) {
  table.load_text(sample, u"English", true);
  EXPECT_FALSE(table.has_key("nothing"));
  EXPECT_EQ(table.text_of("nothing"), u"");
  EXPECT_TRUE(table.has_key("nothing"));
  EXPECT_EQ(table.text_of("btn_ok "), u"") << "a key with a trailing blank is another key";
}

TEST_F(language_load, an_unknown_language_leaves_the_index_at_the_first_section) {
  table.load_text(sample, u"Klingon", true);
  table.load_text(sample, u"English", false);
  EXPECT_EQ(table.current_index(), 0);
  EXPECT_EQ(table.text_of("btn_ok"), u"OK");
}

TEST_F(language_load, without_an_english_section_missing_keys_stay_empty) {
  const char file[] = "[Deutsch]\nbtn_ok=\"Gut\"\n";
  table.load_text(file, u"Deutsch", true);
  table.load_text(file, u"English", false);
  EXPECT_EQ(table.text_of("btn_ok"), u"Gut");
  EXPECT_EQ(table.text_of("btn_cancel"), u"");
}

TEST_F(language_load, malformed_files_load_what_they_can) {
  // A byte-order mark hides the first section line; CR LF line ends work;
  // an unbalanced quote is no entry; invalid UTF-8 is replaced.
  const std::string file =
      "\xEF\xBB\xBF[English]\r\n"
      "a=\"A\"\r\n"
      "[English]\r\n"
      "b=\"B\"\r\n"
      "c=\"unbalanced\r\n"
      "d=\"\xFF\"\r\n"
      "[Other]\n";
  table.load_text(file, u"English", true);
  EXPECT_FALSE(table.has_key("a"));
  EXPECT_EQ(table.text_of("b"), u"B");
  EXPECT_FALSE(table.has_key("c"));
  EXPECT_EQ(table.text_of("d"), u"\xFFFD");
  EXPECT_EQ(table.language_list(), (std::vector<std::u16string>{u"English", u"Other"}));
}

TEST_F(language_load, a_missing_file_changes_nothing) {
  table.load_text(sample, u"English", true);
  EXPECT_EQ(table.load_file(u"no-such-language.ini", u"English", true), -1);
  EXPECT_EQ(table.language_list().size(), 5u);
}

// --- the per-language tables --------------------------------------------------

TEST(language_rows, codes_links_and_pictures_follow_the_language) {
  EXPECT_STREQ(language_row_for(u"Deutsch").code, "de");
  EXPECT_STREQ(language_row_for(u"FRANÇAIS").code, "fr") << "compared without regard to case";
  EXPECT_EQ(language_row_for(u"Español").banner_bitmap, 455);
  EXPECT_EQ(language_row_for(u"日本語").start_button_bitmaps[2], 464);
  EXPECT_STREQ(language_row_for(u"繁體中文").code, "hk");
  EXPECT_EQ(language_row_for(u"العربية").start_button_bitmaps[0], 416);
  const auto& dutch = language_row_for(u"Nederlands");
  EXPECT_STREQ(dutch.code, "nl");
  EXPECT_EQ(dutch.banner_bitmap, 300) << "Dutch keeps the default banner";
  EXPECT_EQ(dutch.start_button_bitmaps[1], 420);
  const auto& english = language_row_for(u"English");
  EXPECT_STREQ(english.code, "en");
  EXPECT_STREQ(english.link_prefix, "www");
  EXPECT_STREQ(language_row_for(u"Klingon").code, "en");

  // The LANGID each language names in the update query: the one Windows
  // uses for it, so that an INF's [Strings.LLLL] section for it is found.
  const std::pair<std::u16string, uint16_t> language_ids[] = {
      {u"English", 0x0409}, {u"Deutsch", 0x0407},  {u"Español", 0x0C0A},    {u"Français", 0x040C},
      {u"Italiano", 0x0410}, {u"日本語", 0x0411},  {u"简体中文", 0x0804}, {u"繁體中文", 0x0404},
      {u"Nederlands", 0x0413}, {u"Português", 0x0416}, {u"العربية", 0x0401}, {u"Klingon", 0x0409}};
  for (const auto& [language, id] : language_ids) {
    EXPECT_EQ(language_row_for(language).language_id, id) << utf16_to_utf8(language);
  }

  EXPECT_EQ(faq_link_for(u"Nederlands").rfind("http://nl.", 0), 0u);
  EXPECT_EQ(product_page_link_for(u"English").rfind("http://www.", 0), 0u);
  EXPECT_NE(product_page_link_for(u"English").find("/product_quillary.php"), std::string::npos);
  EXPECT_NE(faq_link_for(u"Deutsch").find("/faq.php"), std::string::npos);
  EXPECT_EQ(help_link().substr(help_link().size() - 6), "/help/");
}

// --- the shipped language.ini -----------------------------------------------

// The languages of the settings dialog, in the order the file lists them.
const std::u16string shipped_languages[] = {
    u"English", u"Deutsch", u"Español", u"Français", u"Italiano", u"日本語",
    u"简体中文", u"繁體中文", u"Nederlands", u"Português", u"العربية"};

std::string shipped_file() {
  std::ifstream in(QUILLARY_SOURCE_DIR "/resources/language.ini", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The printf conversions of a text in order ("%d", "%s", "%.2f"; "%%" is
// none), or nullopt when a percent sign starts no valid conversion.
std::optional<std::vector<std::string>> conversions(std::string_view text) {
  std::vector<std::string> found;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    size_t j = i + 1;
    if (j < text.size() && text[j] == '%') {
      i = j;
      continue;
    }
    while (j < text.size() && std::strchr("-+ #0", text[j])) ++j;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
    if (j < text.size() && text[j] == '.') {
      ++j;
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
    }
    while (j < text.size() && std::strchr("hlL", text[j])) ++j;
    if (j >= text.size() || !std::strchr("diouxXeEfgGcsSp", text[j])) return std::nullopt;
    found.emplace_back(text.substr(i, j - i + 1));
    i = j;
  }
  return found;
}

TEST(language_file, conversions_are_found_in_order) {
  EXPECT_EQ(conversions("a %s b %d c %.2f%% d %08X"),
            (std::vector<std::string>{"%s", "%d", "%.2f", "%08X"}));
  EXPECT_EQ(conversions("100%% sure"), std::vector<std::string>{});
  EXPECT_EQ(conversions("100% sure"), std::vector<std::string>{"% s"})
      << "a lone percent sign can read as a conversion: it must not appear in texts";
  EXPECT_FALSE(conversions("50%"));
  EXPECT_FALSE(conversions("%q"));
}

// Each section's entries as the file has them, in file order, with every
// line that is neither blank, comment, section nor entry reported.
struct shipped_section {
  std::u16string name;
  std::vector<language_entry> entries;
};

std::vector<shipped_section> read_sections(const std::string& file, std::vector<std::string>& stray) {
  std::vector<shipped_section> sections;
  for (const auto& line : read_language_lines(file)) {
    if (line.find_first_not_of(" \t\r\n") == std::string::npos || line[0] == ';') continue;
    if (const auto name = match_section_line(line)) {
      sections.push_back({decode_language_value(*name), {}});
    } else if (const auto entry = match_entry_line(line); entry && !sections.empty()) {
      sections.back().entries.push_back(*entry);
    } else {
      stray.push_back(line);
    }
  }
  return sections;
}

TEST(language_file, the_shipped_file_has_every_key_the_program_asks_for) {
  const std::string bytes = shipped_file();
  ASSERT_FALSE(bytes.empty());
  ASSERT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "no byte-order mark: it would hide the first section";
  const std::set<std::string> keys = {
#include "language_keys.inc"
  };

  // Every language, once, in the order of the settings dialog.
  language_table_c list;
  list.load_text(bytes, u"English", true);
  EXPECT_EQ(list.language_list(), std::vector<std::u16string>(std::begin(shipped_languages),
                                                               std::end(shipped_languages)));

  // Loaded as the program loads it, each section alone has every key.
  for (const auto& section : shipped_languages) {
    SCOPED_TRACE(testing::PrintToString(utf16_to_utf8(section)));
    language_table_c table;
    table.load_text(bytes, section, true);
    EXPECT_EQ(table.current_language(), section);
    EXPECT_EQ(table.size(), keys.size()) << "no key outside the list";
    for (const auto& key : keys) {
      EXPECT_TRUE(table.has_key(key)) << "missing " << key;
      EXPECT_FALSE(table.text_of(key).empty()) << key;
    }
  }
}

TEST(language_file, every_line_is_well_formed_and_every_key_appears_once_per_section) {
  std::vector<std::string> stray;
  const auto sections = read_sections(shipped_file(), stray);
  EXPECT_EQ(stray, std::vector<std::string>{}) << "lines the program would skip";
  ASSERT_EQ(sections.size(), std::size(shipped_languages));
  for (const auto& section : sections) {
    SCOPED_TRACE(testing::PrintToString(utf16_to_utf8(section.name)));
    std::set<std::string> seen;
    for (const auto& entry : section.entries) {
      EXPECT_TRUE(seen.insert(entry.key).second) << entry.key << " appears twice";
      EXPECT_EQ(entry.value.find('"'), std::string::npos) << entry.key << ": a quotation mark in the text";
      for (size_t at = entry.value.find('\\'); at != std::string::npos;
           at = entry.value.find('\\', at + 2)) {
        const char next = at + 1 < entry.value.size() ? entry.value[at + 1] : '\0';
        EXPECT_TRUE(next == 'n' || next == 't') << entry.key << ": a backslash that is no \\n or \\t";
      }
    }
  }
}

TEST(language_file, translations_keep_the_placeholders_of_the_english_text) {
  std::vector<std::string> stray;
  const auto sections = read_sections(shipped_file(), stray);
  ASSERT_FALSE(sections.empty());
  ASSERT_EQ(sections[0].name, u"English");
  std::map<std::string, std::vector<std::string>> english;
  for (const auto& entry : sections[0].entries) {
    const auto found = conversions(entry.value);
    ASSERT_TRUE(found) << "English " << entry.key << ": a stray percent sign";
    english[entry.key] = *found;
  }
  EXPECT_EQ(english["about_info1"], (std::vector<std::string>{"%s", "%s", "%s"}));
  EXPECT_EQ(english["new_driver_notify"], std::vector<std::string>{"%d"});
  for (const auto& section : sections) {
    SCOPED_TRACE(testing::PrintToString(utf16_to_utf8(section.name)));
    for (const auto& entry : section.entries) {
      const auto found = conversions(entry.value);
      ASSERT_TRUE(found) << entry.key << ": a stray percent sign";
      EXPECT_EQ(*found, english[entry.key]) << entry.key;
      if (entry.key == "new_driver_notify") {
        // The balloon text is cut to 31 characters after formatting.
        std::string formatted = entry.value;
        formatted.replace(formatted.find("%d"), 2, "999");
        EXPECT_LE(decode_language_value(formatted).size(), 31u) << "cut in the tray balloon";
      }
    }
  }
}

}  // namespace
}  // namespace quillary
