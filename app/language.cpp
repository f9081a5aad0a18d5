#include "app/language.h"

#include "base/ascii_text.h"
#include "platform/files.h"
#include "platform/text.h"

#ifndef QUILLARY_MAKER_SITE
#define QUILLARY_MAKER_SITE "korvane.example"
#endif
#ifndef QUILLARY_PRODUCT_SITE
#define QUILLARY_PRODUCT_SITE "quillary.example"
#endif

namespace quillary {
namespace {

// What '.' does not match.
bool is_line_break(char c) { return c == '\n' || c == '\r'; }

// Past the \s of the regular expressions in the "C" locale (isspace's set).
size_t skip_spaces(std::string_view s, size_t i) {
  while (i < s.size() && is_ascii_space(s[i])) ++i;
  return i;
}

// Index of the first line break at or after `from`, or the length.
size_t dot_run_end(std::string_view s, size_t from) {
  size_t i = from;
  while (i < s.size() && !is_line_break(s[i])) ++i;
  return i;
}

void replace_all(std::string& text, std::string_view what, char with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    text.replace(at, what.size(), 1, with);
  }
}

}  // namespace

std::optional<std::string> match_section_line(std::string_view s) {
  // ^\s*\[(.*)\]\s*$ : the leading blanks, '[', then the group runs to the
  // last non-blank character, which must be ']', without a line break.
  const size_t open = skip_spaces(s, 0);
  if (open >= s.size() || s[open] != '[') return std::nullopt;
  size_t close = s.size();
  while (close > open && is_ascii_space(s[close - 1])) --close;
  if (close == open + 1 || s[close - 1] != ']') return std::nullopt;
  --close;
  if (dot_run_end(s, open + 1) < close) return std::nullopt;
  return std::string(s.substr(open + 1, close - open - 1));
}

std::optional<language_entry> match_entry_line(std::string_view s) {
  // ^\s*([^;].*)\s*=\s*"(.+)"\s*$
  // The value's closing quote can only be the last quotation mark of the
  // line, with nothing but blanks after it.
  const size_t n = s.size();
  const size_t close = s.rfind('"');
  if (close == std::string_view::npos || skip_spaces(s, close + 1) != n) return std::nullopt;

  // The value may not hold a line break: it must start after the last one
  // before the closing quote.
  size_t value_floor = 0;
  for (size_t i = close; i-- > 0;) {
    if (is_line_break(s[i])) {
      value_floor = i + 1;
      break;
    }
  }

  // value_at[end]: where the value starts if the key ends at `end` (blanks,
  // '=', blanks, '"', then a non-empty value up to the closing quote); 0
  // when the key cannot end there. Independent of where the key starts.
  std::vector<size_t> next_non_space(n + 1, n);
  for (size_t i = n; i-- > 0;) next_non_space[i] = is_ascii_space(s[i]) ? next_non_space[i + 1] : i;
  std::vector<size_t> value_at(n + 1, 0);
  for (size_t end = 0; end <= n; ++end) {
    const size_t equals = next_non_space[end];
    if (equals >= n || s[equals] != '=') continue;
    const size_t quote = next_non_space[equals + 1];
    if (quote >= n || s[quote] != '"') continue;
    const size_t value = quote + 1;
    if (value < close && value >= value_floor) value_at[end] = value;
  }

  // The backtracking order of the expression: the leading \s* takes as
  // many blanks as it can and gives them back one by one; for each start,
  // the key's ".*" is as long as it can be and shrinks from the end. The
  // first combination that fits is the match.
  const size_t leading = skip_spaces(s, 0);
  for (size_t start = leading + 1; start-- > 0;) {
    if (start >= n || s[start] == ';') continue;
    for (size_t end = dot_run_end(s, start + 1); end > start; --end) {
      if (const size_t value = value_at[end]) {
        return language_entry{std::string(s.substr(start, end - start)),
                              std::string(s.substr(value, close - value))};
      }
    }
  }
  return std::nullopt;
}

std::u16string decode_language_value(std::string_view value) {
  std::string text(value);
  replace_all(text, "\\t", '\t');
  replace_all(text, "\\n", '\n');
  return utf8_to_utf16(text);
}

std::vector<std::string> read_language_lines(std::string_view bytes) {
  constexpr size_t line_capacity = 2047;  // a 2048-byte buffer and its terminator
  std::vector<std::string> lines;
  std::string line;
  auto finish = [&] {
    lines.push_back(std::string(up_to_nul(line)));
    line.clear();
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\x1A') break;  // text mode: Ctrl-Z is the end of the file
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    line.push_back(c);
    if (c == '\n' || line.size() == line_capacity) finish();
  }
  if (!line.empty()) finish();
  return lines;
}

void language_table_c::load_text(std::string_view file_bytes, const std::u16string& name,
                                 bool set_index) {
  languages_.clear();
  bool open = false;
  for (const auto& line : read_language_lines(file_bytes)) {
    if (const auto section = match_section_line(line)) {
      languages_.push_back(utf8_to_utf16(*section));
      if (open) {
        // The section right after the wanted one is not compared, so a
        // repeated name directly below does not reopen it.
        open = false;
      } else if (equal_ignore_case(languages_.back(), name)) {
        open = true;
        if (set_index) current_index_ = static_cast<int32_t>(languages_.size() - 1);
      }
      continue;
    }
    if (!open) continue;
    if (const auto entry = match_entry_line(line)) {
      texts_.try_emplace(entry->key, decode_language_value(entry->value));
    }
  }
}

int language_table_c::load_file(const std::u16string& path, const std::u16string& name,
                                bool set_index) {
  std::string bytes;
  if (!platform::read_whole_file(path, bytes)) return -1;
  load_text(bytes, name, set_index);
  return 0;
}

const std::u16string& language_table_c::text_of(std::string_view key) {
  auto it = texts_.find(key);
  if (it == texts_.end()) it = texts_.emplace(std::string(key), std::u16string()).first;
  return it->second;
}

bool language_table_c::has_key(std::string_view key) const { return texts_.find(key) != texts_.end(); }

std::u16string language_table_c::current_language() const {
  if (current_index_ < 0 || current_index_ >= static_cast<int32_t>(languages_.size())) return {};
  return languages_[current_index_];
}

const language_row& language_row_for(const std::u16string& language) {
  struct named_row {
    const char16_t* name;
    language_row row;
  };
  // The LANGIDs are the languages' usual Windows ones: Spanish of Spain
  // with the modern sort (0C0A), Traditional Chinese as Taiwan's (0404,
  // the section driver INF files carry for it), Portuguese as Brazil's
  // (the texts are written in it), Arabic as Saudi Arabia's.
  static const named_row rows[] = {
      {u"Deutsch", {"de", "de", 452, {456, 457, 458}, 0x0407}},
      {u"Français", {"fr", "fr", 453, {459, 460, 461}, 0x040C}},
      {u"Español", {"es", "es", 455, {465, 466, 467}, 0x0C0A}},
      {u"简体中文", {"cn", "cn", 300, {290, 291, 292}, 0x0804}},
      {u"繁體中文", {"hk", "hk", 300, {290, 291, 292}, 0x0404}},
      {u"Italiano", {"it", "it", 415, {425, 426, 427}, 0x0410}},
      {u"日本語", {"jp", "jp", 454, {462, 463, 464}, 0x0411}},
      {u"Português", {"pt", "pt", 414, {422, 423, 424}, 0x0416}},
      {u"Nederlands", {"nl", "nl", 300, {419, 420, 421}, 0x0413}},
      {u"العربية", {"ar", "ar", 412, {416, 417, 418}, 0x0401}},
  };
  static const language_row other = {"en", "www", 300, {290, 291, 292}, 0x0409};
  for (const auto& entry : rows) {
    if (equal_ignore_case(language, entry.name)) return entry.row;
  }
  return other;
}

std::string product_page_link_for(const std::u16string& language) {
  return std::string("http://") + language_row_for(language).link_prefix + "." +
         QUILLARY_MAKER_SITE + "/product_quillary.php";
}

std::string faq_link_for(const std::u16string& language) {
  return std::string("http://") + language_row_for(language).link_prefix + "." +
         QUILLARY_PRODUCT_SITE + "/faq.php";
}

std::string help_link() { return std::string("http://www.") + QUILLARY_PRODUCT_SITE + "/help/"; }

// --- process-wide --------------------------------------------------------

language_table_c& language_table() {
  static language_table_c table;
  return table;
}

int load_language(const std::u16string& name, bool set_index) {
  return language_table().load_file(u"language.ini", name, set_index);
}

const std::u16string& text_of(std::string_view key) { return language_table().text_of(key); }

const std::vector<std::u16string>& language_list() { return language_table().language_list(); }

std::u16string current_language() { return language_table().current_language(); }

const char* language_code() { return language_row_for(current_language()).code; }

uint16_t ui_language_id() { return language_row_for(current_language()).language_id; }

bool is_language(std::string_view code) {
  return equal_ignore_case(ascii_to_utf16(language_code()), ascii_to_utf16(code));
}

std::string product_page_link() { return product_page_link_for(current_language()); }
std::string faq_link() { return faq_link_for(current_language()); }
bool language_is_right_to_left() { return is_language("ar"); }

int home_banner_bitmap() { return language_row_for(current_language()).banner_bitmap; }

int start_button_bitmap(int state) {
  const auto& row = language_row_for(current_language());
  return row.start_button_bitmaps[state >= 0 && state <= 2 ? state : 0];
}

}  // namespace quillary

namespace quillary {

std::u16string format_language_text(std::u16string_view format, std::initializer_list<std::u16string_view> values) {
  std::u16string out;
  out.reserve(format.size());
  auto next = values.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%' || i + 1 == format.size()) {
      out += format[i];
      continue;
    }
    const char16_t kind = format[i + 1];
    if (kind == u'%') {
      out += u'%';
      ++i;
    } else if ((kind == u'd' || kind == u's') && next != values.end()) {
      out += *next++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::u16string format_language_text(std::u16string_view format, long long number) {
  const std::u16string digits = ascii_to_utf16(std::to_string(number));
  return format_language_text(format, {digits});
}

}  // namespace quillary
