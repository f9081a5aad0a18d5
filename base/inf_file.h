// An INF file read into sections and lines, with its string tokens
// substituted. This knows the INF syntax only; the DriverVer directive is
// read by inf_driver_ver.h, and what the other sections mean for a driver
// by the service (server/inf_driver.h).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillary {

struct inf_line {
  bool has_key = false;             // the line had an '=' outside quotes
  std::string key;                  // unquoted, tokens substituted
  std::vector<std::string> fields;  // the comma-separated values, likewise
  int line_number = 0;              // first physical line, from 1
  // The line's text before substitution, in inf_file_c's keeping: only for
  // lines with a '%' in files with [Strings.LLLL] sections, whose keys and
  // fields may read differently in another language; -1 for all others.
  int32_t raw_text = -1;
};

struct inf_section {
  std::string name;  // as first spelled in the file
  std::vector<inf_line> lines;
};

class inf_file_c {
 public:
  // Reads UTF-8 text (see decode_inf_bytes). Syntax rules: ';' outside
  // quotes starts a comment; a '\' at the end of a line joins the next one;
  // "" inside quotes is one quote; %token% is replaced from [Strings], then
  // [Strings.0409], then the other [Strings.xxxx] sections (%% is a percent
  // sign, unknown tokens stay as written); sections
  // of the same name are merged; a NUL ends its line, Ctrl-Z the text. Fails with a
  // reason on an unclosed section header, an unclosed quote, or text before
  // the first section.
  bool parse(std::string_view text, std::string& reason);

  // Section by name, without regard to case; null when absent. Sections
  // are taken apart into lines when first asked for, so an inf_file_c is
  // not for use by several threads at once.
  const inf_section* find_section(std::string_view name) const;
  // Every section, in file order.
  const std::vector<inf_section>& sections() const;

  // The first line in `section` whose key equals `key` (without regard to
  // case); null when there is none.
  const inf_line* line_of(std::string_view section, std::string_view key) const;
  // That line's first field; empty when there is none.
  std::string value_of(std::string_view section, std::string_view key) const;

  // --- Other languages: what [Strings.LLLL] sections give ------------------
  // The keys and fields above are the neutral text, the same for every
  // reader. A file may also carry strings per language, [Strings.LLLL] with
  // LLLL a LANGID in one to four hexadecimal digits ([Strings.0411]
  // Japanese); other [Strings.xxx] names only fill gaps of the neutral text.
  // Most files have none, and then nothing below costs anything.

  // The LANGIDs of those sections, ascending, each once (sections naming
  // the same one, such as .0407 and .407, are one language).
  const std::vector<uint16_t>& string_languages() const { return language_ids_; }

  // The key (`field` -1) or field number `field` of `line` (a line of this
  // file) before its tokens are replaced, quotes removed and ends trimmed
  // as for the neutral text: what a language may read differently. Null
  // when the line has no raw text, or no such piece: it reads the same in
  // every language.
  std::optional<std::string> raw_piece(const inf_line& line, int field) const;
  // `raw` (such a piece) as the strings of string_languages()[language]
  // give it: that language's tokens, and for a token it lacks the neutral
  // text's. False, `out` untouched, when the language defines none of the
  // piece's tokens: then it reads as the neutral text does.
  bool piece_in_language(std::string_view raw, size_t language, std::string& out) const;
  // The two together for one line: its key, or its field number `field`
  // (empty when it has none), in one language.
  std::string key_in_language(const inf_line& line, size_t language) const;
  std::string field_in_language(const inf_line& line, size_t field, size_t language) const;

  inf_file_c() = default;
  // The token tables point into the file's own string entries.
  inf_file_c(const inf_file_c&) = delete;
  inf_file_c& operator=(const inf_file_c&) = delete;
  inf_file_c(inf_file_c&&) = default;
  inf_file_c& operator=(inf_file_c&&) = default;

  // Token names compared without regard to ASCII case, so that a token is
  // looked up as it is written, without an upper-case copy.
  struct token_hash {
    size_t operator()(std::string_view name) const;
  };
  struct token_equal {
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // Token name -> text, both views of string_entries_.
  using string_table = std::unordered_map<std::string_view, std::string_view, token_hash, token_equal>;

  // One line after comments and continuations, before it is taken apart:
  // a view of the file's text (or of a joined line) kept by inf_file_c.
  struct logical_line {
    std::string_view text;
    int line_number = 0;
  };
  // A section before it is taken apart: its name as first spelled (a view
  // of the text) and its lines, section_lines_[first, first + count).
  struct raw_section {
    std::string_view name;
    uint32_t first = 0;
    uint32_t count = 0;
  };

 private:
  const inf_section& parsed_section(size_t index) const;
  // The section of that name, without regard to case; npos when absent.
  size_t section_index(std::string_view name) const;
  void add_to_index(size_t section);

  std::unique_ptr<std::string> text_;  // what the lines point into; never moves
  std::deque<std::string> joined_;     // continued lines, joined
  std::vector<raw_section> raw_;
  std::vector<logical_line> lines_;          // of the whole file, in file order
  std::vector<uint32_t> line_sections_;      // the section of each of lines_, while they are sorted
  std::vector<logical_line> section_lines_;  // lines_ but the headers, section by section
  mutable std::vector<inf_section> sections_;  // raw_[i] taken apart once asked for
  mutable std::vector<bool> parsed_;
  // Open addressing by token_hash of the name: 0 free, else section + 1.
  std::vector<uint32_t> index_;
  // Every line of the [Strings...] sections: its name and its text, cleaned.
  std::vector<std::pair<std::string, std::string>> string_entries_;
  string_table strings_;  // the neutral text's tokens
  std::vector<uint16_t> language_ids_;
  std::vector<string_table> language_strings_;  // one per language_ids_ entry
  mutable std::vector<std::string> raw_texts_;  // inf_line::raw_text indexes these
};

}  // namespace quillary
