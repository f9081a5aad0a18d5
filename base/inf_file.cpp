#include "base/inf_file.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <utility>

#include "base/ascii_text.h"

namespace quillary {

namespace {

using logical_line = inf_file_c::logical_line;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The characters a physical line's scan stops at; all others are passed
// over in a tight loop.
struct line_stops {
  bool stop[256] = {};
  constexpr line_stops() {
    for (const unsigned char c : {'\n', '\r', '"', ';', '\0'}) stop[c] = true;
  }
};
constexpr line_stops line_stop;

// One physical line from `pos`: where it ends (at CR, LF or the text's
// end), and its body, cut at a NUL and at a ';' outside quotes, in one
// pass; tells whether a quote is left open in the body.
std::string_view scan_line(std::string_view text, size_t pos, size_t& eol, bool& open_quote) {
  bool quoted = false;
  size_t body_end = std::string_view::npos;
  size_t i = pos;
  const size_t size = text.size();
  for (;; ++i) {
    while (i < size && !line_stop.stop[static_cast<unsigned char>(text[i])]) ++i;
    if (i == size) break;
    const char c = text[i];
    if (c == '\n' || c == '\r') break;
    if (body_end != std::string_view::npos) continue;
    if (c == '"') quoted = !quoted;
    else if ((c == ';' && !quoted) || c == '\0') body_end = i;
  }
  eol = i;
  // A comment closes any quote; a NUL ends the line where it stands.
  const bool comment = body_end != std::string_view::npos && text[body_end] == ';';
  open_quote = quoted && !comment;
  return text.substr(pos, (body_end == std::string_view::npos ? eol : body_end) - pos);
}

// Lines point into `text`; a line continued with '\\' is joined into a
// string of `joined` (a deque, whose strings never move).
bool split_logical_lines(std::string_view text, std::vector<logical_line>& out, std::deque<std::string>& joined,
                         std::string& reason) {
  // Ctrl-Z ends the text; a NUL ends only its own line, as Windows reads
  // lines up to a NUL and goes on with the next one.
  const size_t end = text.find('\x1A');
  if (end != std::string_view::npos) text = text.substr(0, end);
  out.reserve(text.size() / 24);  // about the length of a line
  logical_line pending;
  std::string* joining = nullptr;  // the continued line being joined
  bool continuing = false;
  int number = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = 0;
    bool open_quote = false;
    std::string_view body = scan_line(text, pos, eol, open_quote);
    ++number;
    pos = eol + 1;
    if (eol < text.size() && text[eol] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    if (open_quote) {
      reason = "unclosed quote on line " + std::to_string(number);
      return false;
    }
    while (!body.empty() && is_blank(body.back())) body.remove_suffix(1);
    const bool continues = !body.empty() && body.back() == '\\';
    if (continues) body.remove_suffix(1);
    if (!continuing) {
      pending = logical_line{body, number};
      joining = nullptr;
    } else {
      if (joining == nullptr) joining = &joined.emplace_back(pending.text);
      joining->append(body);
      pending.text = *joining;
    }
    continuing = continues;
    if (!continuing) out.push_back(pending);
    if (eol == text.size()) break;
  }
  if (continuing) out.push_back(pending);
  return true;
}

// Removes the quotes of one field into `out`: "a""b" is a"b; text outside
// quotes keeps its inner blanks (the ends were trimmed before). `out` keeps
// its room from one field to the next.
void unquote_into(std::string_view raw, std::string& out) {
  if (raw.find('"') == std::string_view::npos) {
    out.assign(raw);
    return;
  }
  out.clear();
  bool quoted = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c != '"') {
      out.push_back(c);
    } else if (quoted && i + 1 < raw.size() && raw[i + 1] == '"') {
      out.push_back('"');
      ++i;
    } else {
      quoted = !quoted;
    }
  }
}

std::string unquote(std::string_view raw) {
  std::string out;
  unquote_into(raw, out);
  return out;
}

// Positions of `separator` outside quotes.
std::vector<size_t> unquoted_positions(std::string_view text, char separator) {
  std::vector<size_t> found;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    else if (text[i] == separator && !quoted) found.push_back(i);
  }
  return found;
}

// The first `separator` outside quotes; npos when there is none.
size_t first_unquoted(std::string_view text, char separator) {
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    else if (text[i] == separator && !quoted) return i;
  }
  return std::string_view::npos;
}

std::string clean(std::string_view raw) { return unquote(trim_blanks(raw)); }

using string_table = inf_file_c::string_table;

// Finds a token's text: in `first` when it has it (a language's own
// strings), else in `then` (the neutral ones); null when neither has it.
const std::string_view* look_up(std::string_view token, const string_table* first, const string_table& then) {
  if (first != nullptr) {
    if (const auto it = first->find(token); it != first->end()) return &it->second;
  }
  const auto it = then.find(token);
  return it == then.end() ? nullptr : &it->second;
}

// Replaces the tokens of `text`, looked up as look_up does. Percent signs
// pair up from the left: "%%" is a percent sign, an unknown token stays as
// written.
void substitute_into(std::string_view text, const string_table* first, const string_table& then, std::string& out) {
  if (text.find('%') == std::string_view::npos) {
    out.assign(text);
    return;
  }
  out.clear();
  out.reserve(text.size() + 32);  // most texts grow by a name or two
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    const std::string_view token = text.substr(open + 1, close - open - 1);
    if (token.empty()) {
      out.push_back('%');
    } else if (const std::string_view* value = look_up(token, first, then)) {
      out.append(*value);
    } else {
      out.append(text.substr(open, close - open + 1));
    }
    i = close + 1;
  }
  out.append(text.substr(std::min(i, text.size())));
}

std::string substitute(std::string_view text, const string_table* first, const string_table& then) {
  std::string out;
  substitute_into(text, first, then, out);
  return out;
}

// Whether `table` has one of the tokens of `text`, paired as substitute
// pairs them.
bool has_a_token_of(std::string_view text, const string_table& table) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    if (open == std::string_view::npos) return false;
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) return false;
    if (close > open + 1 && table.count(text.substr(open + 1, close - open - 1)) != 0) return true;
    i = close + 1;
  }
  return false;
}

using raw_section = inf_file_c::raw_section;

// The LANGID a [Strings.LLLL] section is for: one to four hexadecimal
// digits after the dot. Other names (such as [Strings.German]) are for no
// language.
std::optional<uint16_t> string_language(std::string_view section_name) {
  constexpr std::string_view prefix = "Strings.";
  if (!starts_with_ignore_case_ascii(section_name, prefix)) return std::nullopt;
  uint64_t value = 0;
  if (!parse_hex(section_name.substr(prefix.size()), value, 4)) return std::nullopt;
  return static_cast<uint16_t>(value);
}

// A [Strings] or [Strings.xxx] section and its lines' range of the file's
// string entries.
struct strings_section {
  const raw_section* section;
  size_t begin, end;
};

void add_range(string_table& table, const std::vector<std::pair<std::string, std::string>>& entries,
               const strings_section& range) {
  for (size_t i = range.begin; i < range.end; ++i) table.emplace(entries[i].first, entries[i].second);
}

// Every [Strings...] line is read once into `entries`, which the tables
// then point into (it is complete before the first view is taken).
//
// The neutral text's tokens: [Strings] first, then [Strings.0409] (US
// English), then the other [Strings.xxxx] sections in file order, each
// adding only the tokens not defined yet. This is more lenient than Windows,
// which takes the one section its rule picks (server/localized_text.h), so
// that a file with only localized sections, or with tokens missing from
// [Strings], still reads as its author meant.
//
// Each language's own tokens, ascending by LANGID, as Windows reads them
// from the one section it picks for the system's language. Sections naming
// the same LANGID differently (.0407 and .407) are merged in file order, as
// sections of one name are.
// `entries` keeps the strings of the last file read, whose room is used
// again (each section's lines are `lines` from its `first`).
void collect_strings(const std::vector<raw_section>& sections, const std::vector<logical_line>& lines,
                     std::vector<std::pair<std::string, std::string>>& entries, string_table& neutral,
                     std::vector<uint16_t>& language_ids, std::vector<string_table>& languages) {
  std::vector<strings_section> ranges;
  size_t used = 0;
  for (const auto& section : sections) {
    const bool undecorated = equal_ignore_case_ascii(section.name, "Strings");
    if (!undecorated && !starts_with_ignore_case_ascii(section.name, "Strings.")) continue;
    const size_t begin = used;
    for (size_t i = section.first; i < section.first + section.count; ++i) {
      const std::string_view text = lines[i].text;
      const size_t equals = first_unquoted(text, '=');
      if (equals == std::string_view::npos) continue;
      if (used == entries.size()) entries.emplace_back();
      unquote_into(trim_blanks(text.substr(0, equals)), entries[used].first);
      unquote_into(trim_blanks(text.substr(equals + 1)), entries[used].second);
      ++used;
    }
    ranges.push_back(strings_section{&section, begin, used});
  }
  entries.resize(used);
  if (ranges.empty()) return;

  const auto is_undecorated = [](const strings_section& r) {
    return equal_ignore_case_ascii(r.section->name, "Strings");
  };
  const auto is_us_english = [](const strings_section& r) {
    return equal_ignore_case_ascii(r.section->name, "Strings.0409");
  };
  for (const auto& r : ranges) {
    if (is_undecorated(r)) add_range(neutral, entries, r);
  }
  for (const auto& r : ranges) {
    if (is_us_english(r)) add_range(neutral, entries, r);
  }
  for (const auto& r : ranges) {
    if (!is_undecorated(r) && !is_us_english(r)) add_range(neutral, entries, r);
  }

  std::vector<std::pair<uint16_t, const strings_section*>> by_language;
  for (const auto& r : ranges) {
    const std::optional<uint16_t> language = string_language(r.section->name);
    if (language) by_language.emplace_back(*language, &r);
  }
  // Stable: one LANGID's sections keep their file order.
  std::stable_sort(by_language.begin(), by_language.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [language, range] : by_language) {
    if (language_ids.empty() || language_ids.back() != language) {
      language_ids.push_back(language);
      languages.emplace_back();
    }
    add_range(languages.back(), entries, *range);
  }
}

// One key or field into `out`: trimmed, unquoted, its tokens replaced.
// Most have no quote and no token and are copied as they are.
void piece_text(std::string_view raw, const string_table& strings, std::string& out) {
  const std::string_view trimmed = trim_blanks(raw);
  const bool quoted = trimmed.find('"') != std::string_view::npos;
  if (!quoted) {
    substitute_into(trimmed, nullptr, strings, out);
  } else {
    substitute_into(unquote(trimmed), nullptr, strings, out);
  }
}

// Takes a line apart at the first '=' and at the commas after it, outside
// quotes, in one pass each, into `out`: a line of the last file read,
// whose strings keep their room.
void take_apart(const logical_line& line, const string_table& strings, inf_line& out) {
  out.line_number = line.line_number;
  out.has_key = false;
  out.key.clear();
  out.raw_text = -1;
  std::string_view rest = line.text;
  bool quoted = false;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '"') {
      quoted = !quoted;
    } else if (rest[i] == '=' && !quoted) {
      out.has_key = true;
      piece_text(rest.substr(0, i), strings, out.key);
      rest = rest.substr(i + 1);
      break;
    }
  }
  size_t fields = 0;
  const auto add_field = [&](std::string_view piece) {
    if (fields == out.fields.size()) out.fields.emplace_back();
    piece_text(piece, strings, out.fields[fields++]);
  };
  quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '"') {
      quoted = !quoted;
    } else if (rest[i] == ',' && !quoted) {
      add_field(rest.substr(start, i - start));
      start = i + 1;
    }
  }
  add_field(rest.substr(start));
  out.fields.resize(fields);
}

// The piece of a logical line that take_apart makes its key (`field` -1)
// or its field number `field`, before cleaning; false when there is none.
bool piece_of_line(std::string_view text, int field, std::string_view& out) {
  const auto equals = unquoted_positions(text, '=');
  if (field < 0) {
    if (equals.empty()) return false;
    out = text.substr(0, equals[0]);
    return true;
  }
  const std::string_view rest = equals.empty() ? text : text.substr(equals[0] + 1);
  size_t start = 0;
  int index = 0;
  for (const size_t comma : unquoted_positions(rest, ',')) {
    if (index++ == field) {
      out = rest.substr(start, comma - start);
      return true;
    }
    start = comma + 1;
  }
  if (index != field) return false;
  out = rest.substr(start);
  return true;
}

}  // namespace

size_t inf_file_c::token_hash::operator()(std::string_view name) const {
  // FNV-1a over the bytes with bit 5 set: the same for both cases of a
  // letter, and the same for names token_equal finds equal (any other byte
  // must be the same byte in both).
  uint64_t hash = 14695981039346656037ull;
  for (const char c : name) hash = (hash ^ (static_cast<unsigned char>(c) | 0x20u)) * 1099511628211ull;
  return static_cast<size_t>(hash);
}

bool inf_file_c::token_equal::operator()(std::string_view a, std::string_view b) const {
  return equal_ignore_case_ascii(a, b);
}

size_t inf_file_c::section_index(std::string_view name) const {
  if (index_.empty()) return std::string_view::npos;
  const size_t mask = index_.size() - 1;
  for (size_t at = token_hash{}(name) & mask; index_[at] != 0; at = (at + 1) & mask) {
    if (equal_ignore_case_ascii(raw_[index_[at] - 1].name, name)) return index_[at] - 1;
  }
  return std::string_view::npos;
}

void inf_file_c::add_to_index(size_t section) {
  // At most half full, so that a miss ends soon.
  if ((section + 1) * 2 > index_.size()) {
    index_.assign(std::max<size_t>(64, index_.size() * 2), 0);
    for (size_t i = 0; i < section; ++i) add_to_index(i);
  }
  const size_t mask = index_.size() - 1;
  size_t at = token_hash{}(raw_[section].name) & mask;
  while (index_[at] != 0) at = (at + 1) & mask;
  index_[at] = static_cast<uint32_t>(section + 1);
}

bool inf_file_c::parse(std::string_view text, std::string& reason) {
  // The room of the text, the lines and the parsed sections is kept from
  // one file to the next: an index reads a million of them, and allocating
  // their strings afresh each time was a fifth of its time.
  if (!text_) text_ = std::make_unique<std::string>();
  text_->assign(text);
  joined_.clear();
  raw_.clear();
  parsed_.clear();
  std::fill(index_.begin(), index_.end(), 0);
  strings_.clear();
  language_ids_.clear();
  language_strings_.clear();
  raw_texts_.clear();
  std::vector<logical_line>& lines = lines_;
  lines.clear();
  // A file that fails has no sections, rather than those read so far.
  const auto fail = [&](std::string why) {
    raw_.clear();
    sections_.clear();
    std::fill(index_.begin(), index_.end(), 0);
    if (!why.empty()) reason = std::move(why);
    return false;
  };
  if (!split_logical_lines(*text_, lines, joined_, reason)) return fail({});

  // Each line's section (none for blank lines and headers), counted; then
  // the lines laid out section by section, in file order within each, as
  // sections of one name are merged.
  constexpr uint32_t no_section = UINT32_MAX;
  line_sections_.resize(lines.size());
  size_t current = std::string_view::npos;
  for (size_t l = 0; l < lines.size(); ++l) {
    const logical_line& line = lines[l];
    line_sections_[l] = no_section;
    const std::string_view trimmed = trim_blanks(line.text);
    if (trimmed.empty()) continue;
    if (trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      if (close == std::string_view::npos) {
        return fail("unclosed section header on line " + std::to_string(line.line_number));
      }
      const std::string_view name = trim_blanks(trimmed.substr(1, close - 1));
      current = section_index(name);
      if (current == std::string_view::npos) {
        current = raw_.size();
        raw_.push_back(raw_section{name, 0, 0});
        add_to_index(current);
      }
      continue;
    }
    if (current == std::string_view::npos) {
      return fail("text before the first section on line " + std::to_string(line.line_number));
    }
    line_sections_[l] = static_cast<uint32_t>(current);
    ++raw_[current].count;
  }
  uint32_t first = 0;
  for (raw_section& section : raw_) {
    section.first = first;
    first += std::exchange(section.count, 0);
  }
  section_lines_.resize(first);
  for (size_t l = 0; l < lines.size(); ++l) {
    if (line_sections_[l] == no_section) continue;
    raw_section& section = raw_[line_sections_[l]];
    section_lines_[section.first + section.count++] = lines[l];
  }

  collect_strings(raw_, section_lines_, string_entries_, strings_, language_ids_, language_strings_);
  // The other sections are taken apart when first asked for: a driver's
  // description needs a few of them, and most of a file is register and
  // file lists. sections_ keeps the last file's, whose room they use.
  sections_.resize(raw_.size());
  parsed_.assign(raw_.size(), false);
  return true;
}

const inf_section& inf_file_c::parsed_section(size_t index) const {
  if (parsed_[index]) return sections_[index];
  const raw_section& section = raw_[index];
  inf_section& parsed = sections_[index];
  parsed.name.assign(section.name);
  parsed.lines.resize(section.count);
  // Only files with languages keep raw text, and only of lines that a
  // language could change: most files pay nothing for languages.
  const bool keep_raw = !language_ids_.empty();
  for (size_t i = 0; i < section.count; ++i) {
    const logical_line& line = section_lines_[section.first + i];
    take_apart(line, strings_, parsed.lines[i]);
    if (keep_raw && line.text.find('%') != std::string_view::npos) {
      parsed.lines[i].raw_text = static_cast<int32_t>(raw_texts_.size());
      raw_texts_.emplace_back(line.text);
    }
  }
  parsed_[index] = true;
  return parsed;
}

const std::vector<inf_section>& inf_file_c::sections() const {
  for (size_t i = 0; i < raw_.size(); ++i) parsed_section(i);
  return sections_;
}

std::optional<std::string> inf_file_c::raw_piece(const inf_line& line, int field) const {
  if (line.raw_text < 0 || static_cast<size_t>(line.raw_text) >= raw_texts_.size()) return std::nullopt;
  std::string_view piece;
  if (!piece_of_line(raw_texts_[static_cast<size_t>(line.raw_text)], field, piece)) return std::nullopt;
  return clean(piece);
}

bool inf_file_c::piece_in_language(std::string_view raw, size_t language, std::string& out) const {
  if (language >= language_strings_.size() || !has_a_token_of(raw, language_strings_[language])) return false;
  out = substitute(raw, &language_strings_[language], strings_);
  return true;
}

std::string inf_file_c::key_in_language(const inf_line& line, size_t language) const {
  std::string text;
  const std::optional<std::string> raw = raw_piece(line, -1);
  return raw && piece_in_language(*raw, language, text) ? text : line.key;
}

std::string inf_file_c::field_in_language(const inf_line& line, size_t field, size_t language) const {
  if (field >= line.fields.size()) return {};
  std::string text;
  const std::optional<std::string> raw = raw_piece(line, static_cast<int>(field));
  return raw && piece_in_language(*raw, language, text) ? text : line.fields[field];
}

const inf_section* inf_file_c::find_section(std::string_view name) const {
  const size_t index = section_index(name);
  return index == std::string_view::npos ? nullptr : &parsed_section(index);
}

const inf_line* inf_file_c::line_of(std::string_view section, std::string_view key) const {
  const inf_section* found = find_section(section);
  if (found == nullptr) return nullptr;
  for (const auto& line : found->lines) {
    if (line.has_key && equal_ignore_case_ascii(line.key, key)) return &line;
  }
  return nullptr;
}

std::string inf_file_c::value_of(std::string_view section, std::string_view key) const {
  const inf_line* line = line_of(section, key);
  return line == nullptr ? std::string() : line->fields.front();
}

}  // namespace quillary
