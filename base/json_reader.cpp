#include "base/json_reader.h"

#include <cstdlib>

#include "base/ascii_text.h"
#include "base/utf8.h"

namespace quillary {

bool json_value::as_uint32(uint32_t& out) const {
  if (type_ != kind::number || text_.empty() || text_[0] == '-') return false;
  for (const char c : text_) {
    if (!is_ascii_digit(c)) return false;  // fractions and exponents are not whole values here
  }
  if (text_.size() > 10) return false;
  const unsigned long long value = std::strtoull(text_.c_str(), nullptr, 10);
  if (value > 0xFFFFFFFFull) return false;
  out = static_cast<uint32_t>(value);
  return true;
}

const json_value* json_value::find(std::string_view name) const {
  for (const auto& [key, value] : members_) {
    if (key == name) return &value;
  }
  return nullptr;
}

class json_parser_c {
 public:
  explicit json_parser_c(std::string_view text) : s_(text) {}

  bool document(json_value& out, std::string& error) {
    skip_space();
    if (!value(out, 0)) {
      error = message_;
      return false;
    }
    skip_space();
    if (at_ < s_.size()) {
      fail("text after the document");
      error = message_;
      return false;
    }
    return true;
  }

 private:
  static constexpr int max_depth = 64;

  bool fail(const char* what) {
    if (!message_.empty()) return false;
    int line = 1, column = 1;
    for (size_t i = 0; i < at_ && i < s_.size(); ++i) {
      if (s_[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    message_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
    return false;
  }

  void skip_space() {
    // JSON's white space is trim_blanks' set, without VT and FF.
    while (at_ < s_.size() && blank_characters.find(s_[at_]) != std::string_view::npos) ++at_;
  }

  bool literal(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return fail("unknown word");
    at_ += word.size();
    return true;
  }

  bool value(json_value& out, int depth) {
    if (depth > max_depth) return fail("nested too deeply");
    if (at_ >= s_.size()) return fail("a value is missing");
    switch (s_[at_]) {
      case '{': return object(out, depth);
      case '[': return array(out, depth);
      case '"': out.type_ = json_value::kind::string; return string(out.text_);
      case 't': out.type_ = json_value::kind::boolean; out.flag_ = true; return literal("true");
      case 'f': out.type_ = json_value::kind::boolean; out.flag_ = false; return literal("false");
      case 'n': out.type_ = json_value::kind::null; return literal("null");
      default: return number(out);
    }
  }

  bool number(json_value& out) {
    const size_t start = at_;
    auto digits = [&] {
      const size_t from = at_;
      while (at_ < s_.size() && is_ascii_digit(s_[at_])) ++at_;
      return at_ > from;
    };
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    if (at_ < s_.size() && s_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      return fail("not a value");
    }
    if (at_ < s_.size() && s_[at_] == '.') {
      ++at_;
      if (!digits()) return fail("digits must follow the decimal point");
    }
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (!digits()) return fail("digits must follow the exponent");
    }
    out.type_ = json_value::kind::number;
    out.text_ = std::string(s_.substr(start, at_ - start));
    return true;
  }

  bool hex4(uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
      if (at_ >= s_.size()) return fail("a \\u escape is cut short");
      const int digit = hex_digit_value(s_[at_]);
      if (digit < 0) return fail("a \\u escape needs four hexadecimal digits");
      out = out << 4 | static_cast<uint32_t>(digit);
    }
    return true;
  }

  bool string(std::string& out) {
    ++at_;  // the opening quote
    std::u16string units;  // escapes may form surrogate pairs
    std::string raw;
    auto flush_units = [&] {
      if (!units.empty()) raw += utf16_to_utf8(units);
      units.clear();
    };
    while (true) {
      if (at_ >= s_.size()) return fail("a string is not closed");
      const char c = s_[at_];
      if (c == '"') {
        ++at_;
        break;
      }
      if (static_cast<unsigned char>(c) < 0x20) return fail("a control character in a string");
      if (c != '\\') {
        flush_units();
        raw += c;
        ++at_;
        continue;
      }
      if (++at_ >= s_.size()) return fail("a string is not closed");
      const char e = s_[at_++];
      if (e == 'u') {
        uint32_t unit = 0;
        if (!hex4(unit)) return false;
        units.push_back(static_cast<char16_t>(unit));
        continue;
      }
      flush_units();
      switch (e) {
        case '"': raw += '"'; break;
        case '\\': raw += '\\'; break;
        case '/': raw += '/'; break;
        case 'b': raw += '\b'; break;
        case 'f': raw += '\f'; break;
        case 'n': raw += '\n'; break;
        case 'r': raw += '\r'; break;
        case 't': raw += '\t'; break;
        default: --at_; return fail("an unknown escape");
      }
    }
    flush_units();
    // Invalid UTF-8 from the file becomes replacement characters.
    out = utf16_to_utf8(utf8_to_utf16(raw));
    return true;
  }

  bool array(json_value& out, int depth) {
    out.type_ = json_value::kind::array;
    ++at_;
    skip_space();
    if (at_ < s_.size() && s_[at_] == ']') {
      ++at_;
      return true;
    }
    while (true) {
      out.items_.emplace_back();
      skip_space();
      if (!value(out.items_.back(), depth + 1)) return false;
      skip_space();
      if (at_ < s_.size() && s_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < s_.size() && s_[at_] == ']') {
        ++at_;
        return true;
      }
      return fail("expected ',' or ']'");
    }
  }

  bool object(json_value& out, int depth) {
    out.type_ = json_value::kind::object;
    ++at_;
    skip_space();
    if (at_ < s_.size() && s_[at_] == '}') {
      ++at_;
      return true;
    }
    while (true) {
      skip_space();
      if (at_ >= s_.size() || s_[at_] != '"') return fail("expected a member name");
      std::string name;
      if (!string(name)) return false;
      skip_space();
      if (at_ >= s_.size() || s_[at_] != ':') return fail("expected ':'");
      ++at_;
      skip_space();
      out.members_.emplace_back(std::move(name), json_value());
      if (!value(out.members_.back().second, depth + 1)) return false;
      skip_space();
      if (at_ < s_.size() && s_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < s_.size() && s_[at_] == '}') {
        ++at_;
        return true;
      }
      return fail("expected ',' or '}'");
    }
  }

  std::string_view s_;
  size_t at_ = 0;
  std::string message_;
};

bool parse_json(std::string_view text, json_value& out, std::string& error) {
  out = json_value();
  return json_parser_c(text).document(out, error);
}

}  // namespace quillary
