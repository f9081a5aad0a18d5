#include "base/json_reader.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

TEST(json_reader, reads_nested_documents_in_order) {
  json_value doc;
  std::string error;
  ASSERT_TRUE(parse_json(R"( {"b": [1, 4294967295, -2, 1.5e3, true, null], "a": {"x": "y"}} )", doc, error))
      << error;
  ASSERT_TRUE(doc.is_object());
  EXPECT_EQ(doc.members()[0].first, "b") << "file order is kept";
  const auto& list = doc.find("b")->items();
  ASSERT_EQ(list.size(), 6u);
  uint32_t n = 0;
  EXPECT_TRUE(list[1].as_uint32(n));
  EXPECT_EQ(n, 4294967295u);
  EXPECT_FALSE(list[2].as_uint32(n)) << "negative";
  EXPECT_FALSE(list[3].as_uint32(n)) << "not written as a whole number";
  EXPECT_TRUE(list[4].boolean());
  EXPECT_TRUE(list[5].is_null());
  EXPECT_EQ(doc.find("a")->find("x")->text(), "y");
  EXPECT_EQ(doc.find("missing"), nullptr);
}

TEST(json_reader, string_escapes_and_surrogate_pairs) {
  json_value doc;
  std::string error;
  ASSERT_TRUE(parse_json(R"("PCI\\VEN_8086 \"q\" \u00e9\ud83d\ude00\n")", doc, error)) << error;
  EXPECT_EQ(doc.text(), "PCI\\VEN_8086 \"q\" \xC3\xA9\xF0\x9F\x98\x80\n");
  ASSERT_TRUE(parse_json(R"("\ud800")", doc, error));
  EXPECT_EQ(doc.text(), "\xEF\xBF\xBD") << "a lone surrogate is replaced";
}

TEST(json_reader, malformed_documents_name_the_place_of_the_error) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "line 1, column 1"},
      {"{\"a\": 1,}", "expected a member name"},
      {"[1 2]", "expected ',' or ']'"},
      {"{\n\"a\" 1}", "line 2, column 5"},
      {"\"abc", "not closed"},
      {"\"a\x01\"", "control character"},
      {"01", "text after the document"},
      {"1.", "decimal point"},
      {"[tru]", "unknown word"},
      {"\"\\x\"", "unknown escape"},
      {"{} {}", "text after the document"},
  };
  for (const auto& [text, expected] : cases) {
    json_value doc;
    std::string error;
    EXPECT_FALSE(parse_json(text, doc, error)) << text;
    EXPECT_NE(error.find(expected), std::string::npos) << text << " gave: " << error;
  }
  json_value doc;
  std::string error;
  EXPECT_FALSE(parse_json(std::string(100, '[') + std::string(100, ']'), doc, error));
  EXPECT_NE(error.find("nested too deeply"), std::string::npos);
  EXPECT_TRUE(parse_json(std::string(60, '[') + std::string(60, ']'), doc, error));
}

}  // namespace
}  // namespace quillary
