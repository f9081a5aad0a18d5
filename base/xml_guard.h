// A check run on XML from the network before TinyXML parses it.
//
// TinyXML parses and destroys elements recursively, one stack frame per
// level, so a document nested a hundred thousand levels deep overflows the
// stack. The guard reads the text once, without recursion, the way TinyXML
// reads it with TIXML_ENCODING_LEGACY (byte by byte), and counts the element
// nesting. Where TinyXML's reading gets intricate (entities that run past a
// quote or a '<', unquoted attribute values, odd declarations, names outside
// ASCII), the guard does not follow it but refuses the text: what it accepts
// it reads exactly as TinyXML does, so its count is never below TinyXML's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillary {

// Deepest element nesting taken from the network. The update reply needs
// five levels (root, hardwares, hardware, item, field), the request four.
constexpr size_t max_xml_nesting = 32;
// Most attributes taken on one element: TinyXML compares each attribute
// with every earlier one of its element, so an element with a hundred
// thousand of them takes minutes to parse. The request's `client` has four.
constexpr size_t max_xml_attributes = 32;

enum class xml_guard_verdict { accepted, too_deep, too_many_attributes, too_many_nodes, unread_markup };

struct xml_guard_result {
  xml_guard_verdict verdict = xml_guard_verdict::accepted;
  // The deepest element nesting counted (over the whole text when
  // accepted); an empty element counts as a level of its own.
  size_t depth = 0;
  // Elements, attributes, texts and other markup counted: never fewer than
  // the objects TinyXML allocates for the text, so that a caller can bound
  // the memory of the parsed document before it exists.
  size_t nodes = 0;
};

// Checks the text TinyXML will see (up to its first NUL) against
// `max_depth`, max_xml_attributes and `max_nodes`.
xml_guard_result check_xml_nesting(std::string_view text, size_t max_depth = max_xml_nesting,
                                   size_t max_nodes = SIZE_MAX);

// A short reason for a refusal, for logs and error answers.
const char* describe(xml_guard_verdict verdict);

}  // namespace quillary
