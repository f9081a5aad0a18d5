// The nesting guard run before TinyXML parses XML from the network: it must
// count at least the nesting TinyXML builds, and refuse what it cannot follow.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>
#include <vector>

#include "base/xml_guard.h"
#include "xml_depth.h"

namespace quillary {
namespace {

size_t library_depth(const std::string& text) {
  TiXmlDocument document;
  document.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  return testing::element_depth(document);
}

size_t library_nodes(const std::string& text) {
  TiXmlDocument document;
  document.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  return testing::node_count(document);
}

TEST(xml_guard, counts_the_nesting_the_library_builds) {
  struct expected {
    std::string text;
    size_t depth;
  };
  const expected cases[] = {
      {"<?xml version=\"1.0\" encoding='windows-1252' standalone=\"yes\" ?>\n<driversm><hardwares><hardware>"
       "<id><![CDATA[PCI\\A]]></id><item><link>http://h/a.zip</link><sign>0</sign></item></hardware>"
       "</hardwares></driversm>\n",
       5},
      {"<a><b/></a>", 2},  // an empty element is a level
      {"<a><!-- <b><c> --><![CDATA[<b><c>]]><!DOCTYPE <b><?pi <c>?></a>", 1},
      {"<a x=\"<b>\" y='\"<c>' z = \"&#60;&#x3C;\"\t/>", 1},
      {"</x><a><b></b></a><c/>", 2},  // an end tag outside any element is skipped
      {"<a>&amp; & &lt; &#233;<b></b></a>", 2},
      {"<?XML version='1.0'?><a/>", 1},
      {"<a_1 b-2.c:d='1'><_e/></a_1>", 2},
  };
  for (const auto& c : cases) {
    const xml_guard_result result = check_xml_nesting(c.text);
    EXPECT_EQ(result.verdict, xml_guard_verdict::accepted) << c.text;
    EXPECT_EQ(result.depth, c.depth) << c.text;
    EXPECT_EQ(library_depth(c.text), c.depth) << c.text;
  }
  EXPECT_EQ(check_xml_nesting(std::string_view("<a/>\0<b><c><d>", 14)).depth, 1u) << "the text ends at a NUL";
}

TEST(xml_guard, refuses_nesting_beyond_the_limit) {
  std::string deep;
  for (size_t i = 0; i < max_xml_nesting; ++i) deep += "<a>";
  EXPECT_EQ(check_xml_nesting(deep).verdict, xml_guard_verdict::accepted);
  EXPECT_EQ(check_xml_nesting(deep + "<b/>").verdict, xml_guard_verdict::too_deep);
  EXPECT_EQ(check_xml_nesting(deep + "</a><b/>").verdict, xml_guard_verdict::accepted);
  EXPECT_EQ(check_xml_nesting("<a><b><c/></b></a>", 2).verdict, xml_guard_verdict::too_deep);

  std::string crowded = "<a";
  for (size_t i = 0; i <= max_xml_attributes; ++i) crowded += " a" + std::to_string(i) + "=''";
  EXPECT_EQ(check_xml_nesting(crowded + "/>").verdict, xml_guard_verdict::too_many_attributes);
}

TEST(xml_guard, refuses_markup_it_cannot_follow) {
  const char* const unread[] = {
      // "&#" reads on to the next ';', past the end of the text or value.
      "<r><a>&#x</a>&#x;<a>&#x</a>&#x;</r>",
      "<r><a>&#</a>&#;</r>",
      "<r x=\"&#x\"><a y=\"x;\"/></r>",
      "<r>&#X41;</r>",
      "<r>&#12</r>",
      // Attributes TinyXML reads in ways of its own.
      "<a x=1/>",
      "<a x='1'y='2'/>",
      "<a x/>",
      "<a / >",
      // Names TinyXML extends into bytes from 127 up.
      "<\xE9t\xE9/>",
      "<a\xE9/>",
      "<a \xE9='1'/>",
      // Declarations other than the plain one.
      "<?xml-stylesheet href='a'?><a/>",
      "<?xml version=1.0?><a/>",
      "<?xml version='1&amp;0'?><a/>",
      "<?xml foo='1'?><a/>",
      "<?xml version='1.0'encoding='x'?><a/>",
      "<?xml version='1.0'><a/>",
      // Cut off.
      "<a><!-- <b>",
      "<a><![CDATA[<b>",
      "<a><!DOCTYPE",
      "<a><b",
      "<a x='1",
      "<a>&#x41",
      "<a></a",
  };
  for (const char* text : unread) {
    EXPECT_EQ(check_xml_nesting(text).verdict, xml_guard_verdict::unread_markup) << text;
  }
}

TEST(xml_guard, counts_the_nodes_the_library_allocates_and_refuses_beyond_a_limit) {
  const std::string text = "<?xml version=\"1.0\"?>\n<a x='1' y=\"2\">\n\t<b/> text <![CDATA[c]]><!-- d -->\n</a>\n";
  const xml_guard_result result = check_xml_nesting(text);
  ASSERT_EQ(result.verdict, xml_guard_verdict::accepted);
  // Declaration, a, two attributes, b, the text, the CDATA section, the
  // comment; the blanks between them are no nodes.
  EXPECT_EQ(result.nodes, 8u);
  EXPECT_EQ(library_nodes(text), 8u);
  EXPECT_EQ(check_xml_nesting(text, max_xml_nesting, 8).verdict, xml_guard_verdict::accepted);
  EXPECT_EQ(check_xml_nesting(text, max_xml_nesting, 7).verdict, xml_guard_verdict::too_many_nodes);
}

// Every document of up to five pieces where TinyXML's reading is delicate
// (entities, CDATA, comments, quoted values, declarations, blanks): whenever
// the guard accepts one, TinyXML nests no deeper and allocates no more
// nodes than it counts. Each piece list that hides an end tag from TinyXML,
// such as <a>&#x</a>&#x;<a>, is among them.
TEST(xml_guard, never_counts_less_than_the_library_on_small_documents) {
  const std::string pieces[] = {"<a>",   "</a>", "&#x",  "&#x;", "<![CDATA[>", "]]>",   "<!-->",
                                "-->",   "<b x='", "'>",  "'/>",  "<?xml ?>",   "\n\t", "t"};
  constexpr size_t most_pieces = 5;
  size_t accepted = 0;
  std::vector<size_t> chosen;
  std::string text;
  // Counts through the piece lists like a number in base std::size(pieces).
  for (;;) {
    text.clear();
    for (const size_t piece : chosen) text += pieces[piece];
    const xml_guard_result result = check_xml_nesting(text, most_pieces);
    if (result.verdict == xml_guard_verdict::accepted) {
      ++accepted;
      ASSERT_LE(library_depth(text), result.depth) << text;
      ASSERT_LE(library_nodes(text), result.nodes) << text;
    }
    size_t digit = 0;
    while (digit < chosen.size() && ++chosen[digit] == std::size(pieces)) chosen[digit++] = 0;
    if (digit == chosen.size()) {
      if (chosen.size() == most_pieces) break;
      chosen.push_back(0);
    }
  }
  EXPECT_GT(accepted, 10000u) << "the pieces should make many acceptable documents";
}

}  // namespace
}  // namespace quillary
