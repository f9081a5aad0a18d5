// A small JSON reader for the files the tools take in (device fixtures).
// Objects keep their members in file order; text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillary {

class json_value {
 public:
  enum class kind { null, boolean, number, string, array, object };

  kind type() const { return type_; }
  bool is_null() const { return type_ == kind::null; }
  bool is_bool() const { return type_ == kind::boolean; }
  bool is_number() const { return type_ == kind::number; }
  bool is_string() const { return type_ == kind::string; }
  bool is_array() const { return type_ == kind::array; }
  bool is_object() const { return type_ == kind::object; }

  bool boolean() const { return flag_; }
  // Strings: the text; numbers: their literal as written.
  const std::string& text() const { return text_; }
  // A number that is a whole value from 0 to 2^32-1.
  bool as_uint32(uint32_t& out) const;
  const std::vector<json_value>& items() const { return items_; }
  const std::vector<std::pair<std::string, json_value>>& members() const { return members_; }
  // The first member of that name; null when absent or not an object.
  const json_value* find(std::string_view name) const;

 private:
  friend class json_parser_c;
  kind type_ = kind::null;
  bool flag_ = false;
  std::string text_;
  std::vector<json_value> items_;
  std::vector<std::pair<std::string, json_value>> members_;
};

// Parses a whole document. False with a message naming the line and column
// of the first error; nesting deeper than 64 levels is an error too.
bool parse_json(std::string_view text, json_value& out, std::string& error);

}  // namespace quillary
