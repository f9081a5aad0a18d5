#include "base/inf_file.h"

#include <optional>

#include "base/ascii_text.h"

namespace quillary {

namespace {

// One line after comments and continuations, before it is taken apart.
struct logical_line {
  std::string text;
  int line_number = 0;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Cuts the comment off one physical line; tells whether a quote is left open.
std::string_view strip_comment(std::string_view line, bool& open_quote) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ';' && !quoted) {
      open_quote = false;
      return line.substr(0, i);
    }
  }
  open_quote = quoted;
  return line;
}

bool split_logical_lines(std::string_view text, std::vector<logical_line>& out, std::string& reason) {
  // Ctrl-Z ends the text; a NUL ends only its own line, as Windows reads
  // lines up to a NUL and goes on with the next one.
  const size_t end = text.find('\x1A');
  if (end != std::string_view::npos) text = text.substr(0, end);
  logical_line pending;
  bool continuing = false;
  int number = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find_first_of("\r\n", pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view physical = text.substr(pos, eol - pos);
    physical = physical.substr(0, physical.find('\0'));
    ++number;
    pos = eol + 1;
    if (eol < text.size() && text[eol] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;

    bool open_quote = false;
    std::string_view body = strip_comment(physical, open_quote);
    if (open_quote) {
      reason = "unclosed quote on line " + std::to_string(number);
      return false;
    }
    while (!body.empty() && is_blank(body.back())) body.remove_suffix(1);
    if (!continuing) pending = logical_line{std::string(), number};
    const bool continues = !body.empty() && body.back() == '\\';
    if (continues) body.remove_suffix(1);
    pending.text.append(body);
    continuing = continues;
    if (!continuing) out.push_back(std::move(pending));
    if (eol == text.size()) break;
  }
  if (continuing) out.push_back(std::move(pending));
  return true;
}

// Removes the quotes of one field: "a""b" is a"b; text outside quotes keeps
// its inner blanks (the ends were trimmed before).
std::string unquote(std::string_view raw) {
  std::string out;
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

std::string clean(std::string_view raw) { return unquote(trim_blanks(raw)); }

using string_table = std::unordered_map<std::string, std::string>;

std::string substitute(std::string_view text, const string_table& strings) {
  std::string out;
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
    } else if (const auto it = strings.find(to_upper_ascii(token)); it != strings.end()) {
      out.append(it->second);
    } else {
      out.append(text.substr(open, close - open + 1));
    }
    i = close + 1;
  }
  out.append(text.substr(std::min(i, text.size())));
  return out;
}

struct raw_section {
  std::string name;
  std::vector<logical_line> lines;
};

// The string tokens: [Strings] first, then [Strings.0409] (US English), then
// the other localized [Strings.xxxx] sections in file order, each adding only
// the tokens not defined yet.
string_table collect_strings(const std::vector<raw_section>& sections) {
  string_table table;
  const auto add_from = [&table](const raw_section& section) {
    for (const auto& line : section.lines) {
      const auto equals = unquoted_positions(line.text, '=');
      if (equals.empty()) continue;
      const std::string_view text(line.text);
      table.emplace(to_upper_ascii(clean(text.substr(0, equals[0]))), clean(text.substr(equals[0] + 1)));
    }
  };
  for (const auto& s : sections) {
    if (equal_ignore_case_ascii(s.name, "Strings")) add_from(s);
  }
  for (const auto& s : sections) {
    if (equal_ignore_case_ascii(s.name, "Strings.0409")) add_from(s);
  }
  for (const auto& s : sections) {
    if (starts_with_ignore_case_ascii(s.name, "Strings.") && !equal_ignore_case_ascii(s.name, "Strings.0409")) {
      add_from(s);
    }
  }
  return table;
}

inf_line take_apart(const logical_line& line, const string_table& strings) {
  inf_line out;
  out.line_number = line.line_number;
  std::string_view rest(line.text);
  const auto equals = unquoted_positions(rest, '=');
  if (!equals.empty()) {
    out.has_key = true;
    out.key = substitute(clean(rest.substr(0, equals[0])), strings);
    rest = rest.substr(equals[0] + 1);
  }
  size_t start = 0;
  for (const size_t comma : unquoted_positions(rest, ',')) {
    out.fields.push_back(substitute(clean(rest.substr(start, comma - start)), strings));
    start = comma + 1;
  }
  out.fields.push_back(substitute(clean(rest.substr(start)), strings));
  return out;
}

}  // namespace

bool inf_file_c::parse(std::string_view text, std::string& reason) {
  sections_.clear();
  index_.clear();
  std::vector<logical_line> lines;
  if (!split_logical_lines(text, lines, reason)) return false;

  std::vector<raw_section> raw;
  std::unordered_map<std::string, size_t> raw_index;
  raw_section* current = nullptr;
  for (auto& line : lines) {
    const std::string_view trimmed = trim_blanks(line.text);
    if (trimmed.empty()) continue;
    if (trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      if (close == std::string_view::npos) {
        reason = "unclosed section header on line " + std::to_string(line.line_number);
        return false;
      }
      const std::string name(trim_blanks(trimmed.substr(1, close - 1)));
      const auto [it, added] = raw_index.emplace(to_upper_ascii(name), raw.size());
      if (added) raw.push_back(raw_section{name, {}});
      current = &raw[it->second];
      continue;
    }
    if (current == nullptr) {
      reason = "text before the first section on line " + std::to_string(line.line_number);
      return false;
    }
    current->lines.push_back(std::move(line));
  }

  const string_table strings = collect_strings(raw);
  sections_.reserve(raw.size());
  for (const auto& section : raw) {
    inf_section parsed{section.name, {}};
    parsed.lines.reserve(section.lines.size());
    for (const auto& line : section.lines) parsed.lines.push_back(take_apart(line, strings));
    index_.emplace(to_upper_ascii(section.name), sections_.size());
    sections_.push_back(std::move(parsed));
  }
  return true;
}

const inf_section* inf_file_c::find_section(std::string_view name) const {
  const auto it = index_.find(to_upper_ascii(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

std::string inf_file_c::value_of(std::string_view section, std::string_view key) const {
  const inf_section* found = find_section(section);
  if (found == nullptr) return {};
  for (const auto& line : found->lines) {
    if (line.has_key && equal_ignore_case_ascii(line.key, key)) return line.fields.front();
  }
  return {};
}

}  // namespace quillary
