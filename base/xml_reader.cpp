#include "base/xml_reader.h"

#include <algorithm>
#include <cstdint>

#include "base/ascii_text.h"

namespace quillary {
namespace {

// TinyXML's white space and names, as the guard reads them (which refuses
// names with bytes from 127 up before this reader sees them).
bool is_blank(char c) { return is_ascii_space(c); }
bool is_name_start(char c) { return is_ascii_letter(c) || c == '_'; }
bool is_name_char(char c) { return is_name_start(c) || is_ascii_digit(c) || c == '-' || c == '.' || c == ':'; }

// The named references TinyXML knows, each with its ';'.
struct named_entity {
  std::string_view text;
  char value;
};
constexpr named_entity named_entities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

}  // namespace

xml_reader_c::xml_reader_c(std::string_view text, size_t max_depth) : document_(text.substr(0, text.find('\0'))) {
  verdict_ = check_xml_nesting(document_, max_depth).verdict;
  if (verdict_ != xml_guard_verdict::accepted) finish(event::error);
}

char xml_reader_c::peek(size_t offset) const {
  return at_ + offset < document_.size() ? document_[at_ + offset] : '\0';
}

void xml_reader_c::skip_blanks() {
  while (at_ < document_.size() && is_blank(document_[at_])) ++at_;
}

bool xml_reader_c::skip_past(std::string_view end, size_t from) {
  const size_t found = document_.find(end, at_ + from);
  if (found == std::string_view::npos) return false;
  at_ = found + end.size();
  return true;
}

xml_reader_c::event xml_reader_c::finish(event last) {
  finished_ = true;
  last_ = last;
  reported_depth_ = 0;
  return last;
}

xml_reader_c::event xml_reader_c::reported(event what) {
  reported_depth_ = open_.size();
  return what;
}

xml_reader_c::event xml_reader_c::next() {
  if (finished_) return last_;
  if (end_pending_) {
    end_pending_ = false;
    reported(event::element_end);
    open_.pop_back();
    return event::element_end;
  }
  for (;;) {
    skip_blanks();
    if (open_.empty()) {
      // Between the document's nodes TinyXML stops at the end or at
      // anything but markup, and refuses a document in which it read none.
      if (peek() != '<') return finish(read_a_node_ ? event::done : event::error);
      read_a_node_ = true;
    } else if (at_ == document_.size()) {
      return finish(event::error);  // an element left open
    } else if (peek() != '<') {
      if (!condensed_text()) return finish(event::error);
      // A text of blanks only (from references such as "&#32;") is no node.
      if (std::all_of(text_buffer_.begin(), text_buffer_.end(), is_blank)) continue;
      return reported(event::text);
    } else if (peek(1) == '/') {
      return end_tag();
    }
    const event read = markup();
    if (read != event::done) return read;
  }
}

// Markup at '<' other than an end tag, told apart in TinyXML's order. Done
// stands for a node that is reported as nothing (a declaration, a comment,
// an unknown node or a CDATA section outside any element).
xml_reader_c::event xml_reader_c::markup() {
  const std::string_view rest = document_.substr(at_);
  bool skipped = true;
  if (starts_with_ignore_case_ascii(rest, "<?xml")) {
    skipped = skip_past(">", 5);  // the guard took only plain values, without '>'
  } else if (rest.starts_with("<!--")) {
    skipped = skip_past("-->", 4);
  } else if (rest.starts_with("<![CDATA[")) {
    const size_t end = document_.find("]]>", at_ + 9);
    if (end == std::string_view::npos) return finish(event::error);
    text_buffer_.assign(document_.substr(at_ + 9, end - at_ - 9));
    at_ = end + 3;
    // TinyXML keeps a section even when empty.
    if (!open_.empty()) return reported(event::text);
  } else if (rest.starts_with("<!")) {
    skipped = skip_past(">", 2);
  } else if (is_name_start(peek(1))) {
    return start_tag();
  } else {
    // "<?pi ...>", "< a>", "<1>", and "</a>" outside any element: unknown
    // nodes up to the first '>'.
    skipped = skip_past(">", 1);
  }
  return skipped ? event::done : finish(event::error);
}

xml_reader_c::event xml_reader_c::start_tag() {
  const size_t begin = ++at_;
  while (is_name_char(peek())) ++at_;
  const std::string_view name = document_.substr(begin, at_ - begin);
  bool empty = false;
  if (!attributes_then_close(empty)) return finish(event::error);
  open_.push_back(name);
  name_ = name;
  end_pending_ = empty;
  return reported(event::element_start);
}

// The attributes up to '>' or "/>" (then `empty`). The values are not
// needed; TinyXML refuses an element that names an attribute twice.
bool xml_reader_c::attributes_then_close(bool& empty) {
  attribute_names_.clear();
  for (;;) {
    skip_blanks();
    if (peek() == '/') {
      if (peek(1) != '>') return false;
      at_ += 2;
      empty = true;
      return true;
    }
    if (peek() == '>') {
      ++at_;
      return true;
    }
    const size_t begin = at_;
    if (!is_name_start(peek())) return false;
    while (is_name_char(peek())) ++at_;
    const std::string_view name = document_.substr(begin, at_ - begin);
    if (std::find(attribute_names_.begin(), attribute_names_.end(), name) != attribute_names_.end()) return false;
    attribute_names_.push_back(name);
    skip_blanks();
    if (peek() != '=') return false;
    ++at_;
    skip_blanks();
    const char quote = peek();
    if (quote != '"' && quote != '\'') return false;
    const size_t close = document_.find(quote, at_ + 1);
    if (close == std::string_view::npos) return false;
    at_ = close + 1;
  }
}

// "</" and the name of the element open, then blanks and '>': TinyXML
// takes no other end tag there.
xml_reader_c::event xml_reader_c::end_tag() {
  const std::string_view open = open_.back();
  if (!document_.substr(at_ + 2).starts_with(open)) return finish(event::error);
  at_ += 2 + open.size();
  skip_blanks();
  if (peek() != '>') return finish(event::error);
  ++at_;
  name_ = open;
  reported(event::element_end);
  open_.pop_back();
  return event::element_end;
}

// A text up to the next '<', from its first byte that is not blank: each
// run of blanks inside it becomes one space, blanks at its end go, and
// references are replaced by their byte. False when no '<' follows (the
// text is cut off).
bool xml_reader_c::condensed_text() {
  text_buffer_.clear();
  const size_t end = document_.find('<', at_);
  if (end == std::string_view::npos) return false;
  bool blanks_before = false;
  while (at_ < end) {
    const char c = document_[at_];
    if (is_blank(c)) {
      blanks_before = true;
      ++at_;
      continue;
    }
    if (blanks_before) text_buffer_ += ' ';
    blanks_before = false;
    if (c == '&') {
      if (!character_reference()) return false;
      continue;
    }
    // A run of plain bytes at once.
    size_t run = at_ + 1;
    while (run < end && document_[run] != '&' && !is_blank(document_[run])) ++run;
    text_buffer_.append(document_.substr(at_, run - at_));
    at_ = run;
  }
  return true;
}

// At '&': a numeric reference gives its value's low byte, as TinyXML stores
// one byte for each, and a named one its character. Any other '&' TinyXML
// passes over without a byte. The guard let through well-formed numeric
// references only.
bool xml_reader_c::character_reference() {
  const std::string_view rest = document_.substr(at_);
  if (rest.starts_with("&#")) {
    const bool hex = rest.size() > 2 && rest[2] == 'x';
    const size_t first = hex ? 3 : 2;
    size_t i = first;
    uint8_t low_byte = 0;
    for (; i < rest.size() && rest[i] != ';'; ++i) {
      const int digit = hex ? hex_digit_value(rest[i]) : is_ascii_digit(rest[i]) ? rest[i] - '0' : -1;
      if (digit < 0) return false;
      low_byte = static_cast<uint8_t>(low_byte * (hex ? 16 : 10) + digit);
    }
    if (i == first || i == rest.size()) return false;
    text_buffer_ += static_cast<char>(low_byte);
    at_ += i + 1;
    return true;
  }
  for (const auto& entity : named_entities) {
    if (rest.starts_with(entity.text)) {
      text_buffer_ += entity.value;
      at_ += entity.text.size();
      return true;
    }
  }
  ++at_;
  return true;
}

}  // namespace quillary
