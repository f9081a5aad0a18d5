#include "base/xml_guard.h"

#include <algorithm>

#include "base/ascii_text.h"

namespace quillary {
namespace {

// TinyXML's white space (isspace in the C locale, which the program keeps).
bool is_blank(char c) { return is_ascii_space(c); }
// TinyXML also takes every byte from 127 up as a letter; such names are
// refused here (see at_markup).
bool is_name_start(char c) { return is_ascii_letter(c) || c == '_'; }
bool is_name_char(char c) { return is_name_start(c) || is_ascii_digit(c) || c == '-' || c == '.' || c == ':'; }
bool is_high_byte(char c) { return static_cast<unsigned char>(c) >= 127; }
// Values of the XML declaration: "1.0", "windows-1252", "yes".
bool is_plain_value_char(char c) { return is_ascii_letter(c) || is_ascii_digit(c) || c == '.' || c == '-' || c == '_'; }

// One pass over the text, at the node boundaries where TinyXML decides what
// comes next. Each step returns false to refuse the text.
class nesting_scan_c {
 public:
  nesting_scan_c(std::string_view text, size_t max_depth, size_t max_nodes)
      : text_(text), max_depth_(max_depth), max_nodes_(max_nodes) {}

  xml_guard_result run() {
    while (at_ < text_.size()) {
      const bool read = text_[at_] == '<' ? at_markup() : character_data();
      if (!read) return {refusal_, deepest_, nodes_};
      if (deepest_ > max_depth_) return {xml_guard_verdict::too_deep, deepest_, nodes_};
      if (nodes_ > max_nodes_) return {xml_guard_verdict::too_many_nodes, deepest_, nodes_};
    }
    return {xml_guard_verdict::accepted, deepest_, nodes_};
  }

 private:
  char peek(size_t offset = 0) const { return at_ + offset < text_.size() ? text_[at_ + offset] : '\0'; }
  bool refuse(xml_guard_verdict why = xml_guard_verdict::unread_markup) {
    refusal_ = why;
    return false;
  }

  // TinyXML's Identify, plus the end tag that ReadValue checks first. Every
  // markup but an end tag is a node of the parsed document.
  bool at_markup() {
    if (peek(1) != '/' || depth_ == 0) ++nodes_;
    const std::string_view rest = text_.substr(at_);
    switch (peek(1)) {
      case '?':
        // "<?pi ...>" is an unknown node up to the first '>'.
        return starts_with_ignore_case_ascii(rest, "<?xml") ? declaration() : skip_past(">", 1);
      case '!':
        if (rest.starts_with("<!--")) return skip_past("-->", 4);
        if (rest.starts_with("<![CDATA[")) return skip_past("]]>", 9);
        return skip_past(">", 2);
      case '/':
        // Inside an element this ends it (or TinyXML stops with an error
        // when the name differs); outside any element TinyXML reads it as an
        // unknown node up to '>'.
        if (depth_ > 0) --depth_;
        return skip_past(">", 2);
    }
    if (is_name_start(peek(1))) return element_tag();
    if (is_high_byte(peek(1))) return refuse();
    // "< a>", "<1>": unknown nodes up to the first '>'.
    return skip_past(">", 1);
  }

  bool skip_past(std::string_view end, size_t from) {
    const size_t found = text_.find(end, at_ + from);
    if (found == std::string_view::npos) return refuse();
    at_ = found + end.size();
    return true;
  }

  bool skip_blanks() {
    const size_t start = at_;
    while (is_blank(peek())) ++at_;
    return at_ > start;
  }

  bool name() {
    if (!is_name_start(peek())) return false;
    while (is_name_char(peek())) ++at_;
    // TinyXML would read on into a byte from 127 up as part of the name.
    return !is_high_byte(peek());
  }

  // <name (blanks attribute)* blanks? (/> | >)
  bool element_tag() {
    ++at_;
    if (!name()) return refuse();
    size_t attributes = 0;
    for (;;) {
      const bool blanks = skip_blanks();
      if (peek() == '/' && peek(1) == '>') {
        at_ += 2;
        deepest_ = std::max(deepest_, depth_ + 1);
        return true;
      }
      if (peek() == '>') {
        ++at_;
        deepest_ = std::max(deepest_, ++depth_);
        return true;
      }
      if (!blanks || !attribute()) return refuse();
      ++nodes_;
      if (++attributes > max_xml_attributes) return refuse(xml_guard_verdict::too_many_attributes);
    }
  }

  // name blanks? = blanks? quoted value. TinyXML also takes values without
  // quotes; those are refused.
  bool attribute() {
    if (!name()) return false;
    const char quote = equals_and_quote();
    if (quote == '\0') return false;
    const size_t end = text_.find(quote, at_ + 1);
    if (end == std::string_view::npos || !entities_stay_within(at_ + 1, end)) return false;
    at_ = end + 1;
    return true;
  }

  // blanks? = blanks? and an opening quote, which is returned (at it);
  // '\0' when something else comes.
  char equals_and_quote() {
    skip_blanks();
    if (peek() != '=') return '\0';
    ++at_;
    skip_blanks();
    const char quote = peek();
    return quote == '"' || quote == '\'' ? quote : '\0';
  }

  // Text up to the next '<'.
  bool character_data() {
    const size_t end = std::min(text_.find('<', at_), text_.size());
    if (!entities_stay_within(at_, end)) return refuse();
    // TinyXML skips blanks between elements (it condenses white space).
    const std::string_view text = text_.substr(at_, end - at_);
    if (std::any_of(text.begin(), text.end(), [](char c) { return !is_blank(c); })) ++nodes_;
    at_ = end;
    return true;
  }

  // TinyXML reads a numeric character reference from "&#" to the first ';'
  // after it, whatever lies between, so "&#x" can carry its reading past a
  // quote or a '<' that ends the text here. Only the well-formed kinds
  // ("&#" digits ";" and "&#x" hexadecimal digits ";") stay where they
  // are; named references and a lone '&' are a few plain bytes to TinyXML.
  bool entities_stay_within(size_t begin, size_t end) const {
    const std::string_view text = text_.substr(begin, end - begin);
    for (size_t i = text.find("&#"); i != std::string_view::npos; i = text.find("&#", i + 2)) {
      size_t digit = i + 2;
      const bool hex = digit < text.size() && text[digit] == 'x';
      if (hex) ++digit;
      size_t k = digit;
      while (k < text.size() && (hex ? hex_digit_value(text[k]) >= 0 : is_ascii_digit(text[k]))) ++k;
      if (k == digit || k == text.size() || text[k] != ';') return false;
    }
    return true;
  }

  // <?xml (blanks name blanks? = blanks? "plain")* blanks? ?>, with the
  // names version, encoding and standalone. TinyXML reads other names,
  // unquoted values and stray bytes in ways of its own.
  bool declaration() {
    at_ += 5;
    for (;;) {
      const bool blanks = skip_blanks();
      if (peek() == '?' && peek(1) == '>') {
        at_ += 2;
        return true;
      }
      if (!blanks || !declaration_attribute()) return refuse();
    }
  }

  bool declaration_attribute() {
    const size_t start = at_;
    if (!name()) return false;
    const std::string_view read = text_.substr(start, at_ - start);
    if (read != "version" && read != "encoding" && read != "standalone") return false;
    const char quote = equals_and_quote();
    if (quote == '\0') return false;
    ++at_;
    while (is_plain_value_char(peek())) ++at_;
    if (peek() != quote) return false;
    ++at_;
    return true;
  }

  std::string_view text_;
  size_t max_depth_;
  size_t max_nodes_;
  size_t nodes_ = 0;
  size_t at_ = 0;
  size_t depth_ = 0;
  size_t deepest_ = 0;
  xml_guard_verdict refusal_ = xml_guard_verdict::unread_markup;
};

}  // namespace

xml_guard_result check_xml_nesting(std::string_view text, size_t max_depth, size_t max_nodes) {
  // TinyXML reads a zero-terminated text.
  return nesting_scan_c(text.substr(0, text.find('\0')), max_depth, max_nodes).run();
}

const char* describe(xml_guard_verdict verdict) {
  switch (verdict) {
    case xml_guard_verdict::accepted: return "accepted";
    case xml_guard_verdict::too_deep: return "elements nested too deeply";
    case xml_guard_verdict::too_many_attributes: return "too many attributes on one element";
    case xml_guard_verdict::too_many_nodes: return "too many elements, attributes and texts";
    case xml_guard_verdict::unread_markup: return "markup outside the XML this program reads";
  }
  return "";
}

}  // namespace quillary
