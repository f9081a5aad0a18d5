#include "base/json_writer.h"

#include <cstdio>

#include "base/utf8.h"

namespace quillary {

std::string json_quote(std::string_view utf8_text) {
  // Round trip through UTF-16 so that the output is always valid UTF-8.
  const std::string text = utf16_to_utf8(utf8_to_utf16(utf8_text));
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void json_writer_c::newline() {
  out_ += '\n';
  out_.append(2 * has_members_.size(), ' ');
}

void json_writer_c::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (has_members_.empty()) return;
  if (has_members_.back()) out_ += ',';
  has_members_.back() = true;
  newline();
}

json_writer_c& json_writer_c::key(std::string_view name) {
  before_value();
  out_ += json_quote(name);
  out_ += ": ";
  after_key_ = true;
  return *this;
}

json_writer_c& json_writer_c::begin_object() {
  before_value();
  out_ += '{';
  has_members_.push_back(false);
  return *this;
}

json_writer_c& json_writer_c::begin_array() {
  before_value();
  out_ += '[';
  has_members_.push_back(false);
  return *this;
}

void json_writer_c::close(char bracket) {
  const bool had_members = has_members_.back();
  has_members_.pop_back();
  if (had_members) newline();
  out_ += bracket;
  if (has_members_.empty()) out_ += '\n';
}

json_writer_c& json_writer_c::end_object() {
  close('}');
  return *this;
}

json_writer_c& json_writer_c::end_array() {
  close(']');
  return *this;
}

json_writer_c& json_writer_c::value(std::u16string_view text) {
  return value(std::string_view(utf16_to_utf8(text)));
}

json_writer_c& json_writer_c::value(std::string_view utf8_text) {
  before_value();
  out_ += json_quote(utf8_text);
  return *this;
}

json_writer_c& json_writer_c::value(int64_t number) {
  before_value();
  out_ += std::to_string(number);
  return *this;
}

json_writer_c& json_writer_c::null() {
  before_value();
  out_ += "null";
  return *this;
}

json_writer_c& json_writer_c::value(bool flag) {
  before_value();
  out_ += flag ? "true" : "false";
  return *this;
}

}  // namespace quillary
