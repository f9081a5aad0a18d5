// The user-interface texts: sections of "language.ini", one per language,
// loaded into one text table at start-up, with English filling the gaps; and
// the fixed per-language tables of codes, links and picture numbers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillary {

// One line of "language.ini" taken apart. The rules are those of two
// whole-line regular expressions (ECMAScript):
//   section: ^\s*\[(.*)\]\s*$
//   entry:   ^\s*([^;].*)\s*=\s*"(.+)"\s*$
// They are matched by hand, with the same results, so that a long line
// cannot exhaust the stack of a backtracking matcher.
struct language_entry {
  std::string key;    // the first group, exactly as matched (UTF-8 bytes)
  std::string value;  // the second group, before escape processing
};
std::optional<std::string> match_section_line(std::string_view line);
std::optional<language_entry> match_entry_line(std::string_view line);

// "\t" becomes a tab, then "\n" a line feed; then UTF-8 to UTF-16.
std::u16string decode_language_value(std::string_view value);

// Splits the file's bytes into the lines the program reads: text mode (CR
// before LF dropped, Ctrl-Z ends the file), at most 2047 bytes per line
// (longer lines are read as several), each line ending at its first NUL.
std::vector<std::string> read_language_lines(std::string_view file_bytes);

class language_table_c {
 public:
  // Loads the section called `name` (compared without regard to case) from
  // the file's bytes. Keys already in the table are never replaced.
  void load_text(std::string_view file_bytes, const std::u16string& name, bool set_index);
  // The same from a file; -1 when it cannot be opened (nothing changes).
  int load_file(const std::u16string& path, const std::u16string& name, bool set_index);

  // The text of a key; a missing key is entered with an empty text.
  const std::u16string& text_of(std::string_view key);
  bool has_key(std::string_view key) const;
  size_t size() const { return texts_.size(); }

  const std::vector<std::u16string>& language_list() const { return languages_; }
  int32_t current_index() const { return current_index_; }
  void set_current_index(int32_t index) { current_index_ = index; }
  // The language-list entry at the current index; empty when there is none.
  std::u16string current_language() const;

 private:
  std::map<std::string, std::u16string, std::less<>> texts_;
  std::vector<std::u16string> languages_;
  int32_t current_index_ = 0;
};

// What the current language selects beyond the texts.
struct language_row {
  const char* code;         // two letters
  const char* link_prefix;  // first label of the web hosts
  int banner_bitmap;
  int start_button_bitmaps[3];  // normal, hover, pressed
  // The LANGID the update query names as the client's user-interface
  // language, so that the service gives an INF's texts from the
  // [Strings.LLLL] section Windows would use for it.
  uint16_t language_id;
};
const language_row& language_row_for(const std::u16string& language);

std::string product_page_link_for(const std::u16string& language);
std::string faq_link_for(const std::u16string& language);
std::string help_link();

// --- The process-wide table, as the windows use it ------------------------

language_table_c& language_table();
// Loads from "language.ini" in the current directory: 0, or -1 when the
// file cannot be opened.
int load_language(const std::u16string& name, bool set_index);
const std::u16string& text_of(std::string_view key);
const std::vector<std::u16string>& language_list();
std::u16string current_language();
const char* language_code();
// The current language's LANGID (language_row::language_id).
uint16_t ui_language_id();
bool is_language(std::string_view code);
// Whether the interface language is written from right to left (Arabic):
// its lines are drawn in right-to-left reading order.
bool language_is_right_to_left();
std::string product_page_link();
std::string faq_link();
int home_banner_bitmap();
int start_button_bitmap(int state);

// A language text used as a format: each "%d" or "%s" takes the next of
// `values` in turn, "%%" is a percent sign, and anything else stays as it
// is. Only these placeholders are filled, never handed to printf, so a
// stray or extra one in a translation is harmless: once the values have run
// out, placeholders stay as they are.
std::u16string format_language_text(std::u16string_view format, std::initializer_list<std::u16string_view> values);
// The common case: one number.
std::u16string format_language_text(std::u16string_view format, long long number);

}  // namespace quillary
