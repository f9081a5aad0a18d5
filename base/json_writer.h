// A small streaming JSON writer: objects, arrays, strings (from UTF-16 or
// UTF-8), numbers and booleans, indented by two spaces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillary {

class json_writer_c {
 public:
  json_writer_c& begin_object();
  json_writer_c& end_object();
  json_writer_c& begin_array();
  json_writer_c& end_array();
  // Names the next member of the current object.
  json_writer_c& key(std::string_view name);

  json_writer_c& value(std::u16string_view text);
  json_writer_c& value(std::string_view utf8_text);
  json_writer_c& value(const char* utf8_text) { return value(std::string_view(utf8_text)); }
  json_writer_c& value(int64_t number);
  json_writer_c& value(uint32_t number) { return value(static_cast<int64_t>(number)); }
  json_writer_c& value(int32_t number) { return value(static_cast<int64_t>(number)); }
  json_writer_c& value(bool flag);
  json_writer_c& null();

  // The document so far, ending with a line feed once the outermost value is complete.
  const std::string& text() const { return out_; }

 private:
  void before_value();
  void close(char bracket);
  void newline();

  std::string out_;
  // Per open container: whether it has members yet.
  std::vector<bool> has_members_;
  bool after_key_ = false;
};

// JSON string literal of UTF-8 text (quotes included); invalid UTF-8 is
// replaced, control characters are escaped.
std::string json_quote(std::string_view utf8_text);

}  // namespace quillary
