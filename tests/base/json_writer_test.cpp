#include "base/json_writer.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

TEST(json_writer, nested_document_is_indented_and_separated) {
  json_writer_c json;
  json.begin_object();
  json.key("a").value(int32_t{1});
  json.key("list").begin_array().value("x").value(true).end_array();
  json.key("empty").begin_object().end_object();
  json.end_object();
  EXPECT_EQ(json.text(),
            "{\n  \"a\": 1,\n  \"list\": [\n    \"x\",\n    true\n  ],\n  \"empty\": {}\n}\n");
}

TEST(json_writer, strings_are_escaped_and_always_valid_utf8) {
  EXPECT_EQ(json_quote("a\"b\\c\n\t\x01"), "\"a\\\"b\\\\c\\n\\t\\u0001\"");
  EXPECT_EQ(json_quote("\xFF"), "\"\xEF\xBF\xBD\"");
  json_writer_c json;
  json.value(std::u16string{u'Z', u':', u'\\', 0x65E5});
  EXPECT_EQ(json.text(), "\"Z:\\\\\xE6\x97\xA5\"");
}

}  // namespace
}  // namespace quillary
