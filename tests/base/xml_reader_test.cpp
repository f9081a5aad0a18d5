// The forward XML reader against TinyXML's own parse of the same texts: the
// same elements and text nodes, refused where TinyXML reports an error.
#include "base/xml_reader.h"

#include <gtest/gtest.h>

#include "tests/tinyxml_reference.h"

namespace quillary {
namespace {

using testing::reader_reading;
using testing::tinyxml_reading;
using testing::xml_reading;

xml_reading read_as(std::vector<std::string> events) { return {false, std::move(events)}; }
const xml_reading refused{true, {}};

TEST(xml_reader, texts_are_condensed_and_decoded_as_tinyxml_stores_them) {
  // Blanks run together and go at the ends; a numeric reference gives one
  // byte (its low one), a named one its character, an unknown '&' nothing.
  EXPECT_EQ(reader_reading("<a>  x \n\t y&#233;&#x1F441;&amp;&lt;&gt;&quot;&apos; &bogus; &#0065; \r\n</a>"),
            read_as({"<a", "=x y\xE9" "A&<>\"' bogus; A", ">a"}));
  // Texts of blanks only, from references too, are no nodes; CDATA is kept
  // as it stands, an empty section included; a comment splits a text.
  EXPECT_EQ(reader_reading("<a> &#32;&#9; <b> </b><![CDATA[ &amp; <x> ]]><![CDATA[]]>x<!-- c -->y</a>"),
            read_as({"<a", "<b", ">b", "= &amp; <x> ", "=", "=x", "=y", ">a"}));
}

TEST(xml_reader, refuses_where_tinyxml_reports_an_error) {
  const char* faults[] = {
      "",
      " \n ",
      "text before any markup <a/>",
      "<a>",
      "<a>text",
      "<a></b>",
      "<a></ab>",
      "<ab></a>",
      "<a></a x>",
      "<a x='1' x=\"2\"/>",
      "<a/><b></c>",           // after the root, TinyXML still reads and refuses
      "<a>&#x41</a>",          // the guard refuses a reference that runs on
      "<a><!-- open </a>",
      "<a><![CDATA[ open </a>",
  };
  for (const char* text : faults) {
    EXPECT_EQ(reader_reading(text), refused) << text;
    EXPECT_TRUE(tinyxml_reading(text).error) << text;
  }
}

TEST(xml_reader, reads_what_tinyxml_builds) {
  const char* documents[] = {
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<!DOCTYPE r>\n<?pi x?>\n<r a='1' b=\"&amp;\">t</r>",
      "<?XML version='1.0'?><r/>",
      "<r/>  text after the root stops the reading <unclosed>",
      "</stray><r><x/></r ><second>2</second>",
      "<r>a<?xml version='1.0'?>b<!bang>c<? pi >d</r>",
      "<r><x/><y></y><z> </z></r>",
      "<_r:a.b-c><n1>1</n1></_r:a.b-c>",
      "<!-- only a comment -->",
      "<![CDATA[outside]]><r/>",
      "<r>&#x;</r>",
      "<r>& &amp &#38;&#x26; &#;</r>",
      "<r>\xE9\xFF bytes from 127 up</r>",
  };
  for (const char* text : documents) {
    EXPECT_EQ(reader_reading(text), tinyxml_reading(text)) << text;
  }
  EXPECT_EQ(reader_reading("<r/>  text <unclosed>"), read_as({"<r", ">r"}));
  EXPECT_EQ(reader_reading("<!-- only a comment -->"), read_as({}));
}

TEST(xml_reader, depth_counts_the_open_elements) {
  xml_reader_c reader("<r><h><i>t</i><e/></h></r>");
  std::vector<size_t> depths;
  for (auto e = reader.next(); e != xml_reader_c::event::done && e != xml_reader_c::event::error; e = reader.next()) {
    depths.push_back(reader.depth());
  }
  EXPECT_EQ(depths, (std::vector<size_t>{1, 2, 3, 3, 3, 3, 3, 2, 1}));
  EXPECT_EQ(reader.next(), xml_reader_c::event::done) << "done repeats";
}

TEST(xml_reader, stops_where_the_guard_refuses) {
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "<a>";
  xml_reader_c reader(deep);
  EXPECT_EQ(reader.next(), xml_reader_c::event::error);
  EXPECT_EQ(reader.guard_verdict(), xml_guard_verdict::too_deep);
  // What follows a NUL is not read, as TinyXML reads a zero-terminated text.
  EXPECT_EQ(reader_reading(std::string_view("<r/>\0<a>", 8)), read_as({"<r", ">r"}));
}

}  // namespace
}  // namespace quillary
