// The element nesting of a document TinyXML has built, measured without
// recursion, for the unit tests and the fuzzers of the XML nesting guard.
#pragma once

#include <tinyxml.h>

#include <algorithm>
#include <cstddef>

namespace quillary::testing {

// Elements on the longest path from the document down; an element with no
// children is a level of its own. Only elements and the document have
// children.
inline size_t element_depth(const TiXmlDocument& document) {
  size_t depth = 0, deepest = 0;  // depth: elements above `node`
  const TiXmlNode* node = document.FirstChild();
  while (node != nullptr) {
    if (node->ToElement() != nullptr) deepest = std::max(deepest, depth + 1);
    if (node->FirstChild() != nullptr) {
      ++depth;
      node = node->FirstChild();
      continue;
    }
    while (node != &document && node->NextSibling() == nullptr) {
      node = node->Parent();
      if (node != &document) --depth;
    }
    node = node == &document ? nullptr : node->NextSibling();
  }
  return deepest;
}

// The objects TinyXML allocated for the document: every node below it and
// every attribute.
inline size_t node_count(const TiXmlDocument& document) {
  size_t count = 0;
  const TiXmlNode* node = document.FirstChild();
  while (node != nullptr) {
    ++count;
    if (const TiXmlElement* element = node->ToElement()) {
      for (const TiXmlAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next()) ++count;
    }
    if (node->FirstChild() != nullptr) {
      node = node->FirstChild();
      continue;
    }
    while (node != &document && node->NextSibling() == nullptr) node = node->Parent();
    node = node == &document ? nullptr : node->NextSibling();
  }
  return count;
}

}  // namespace quillary::testing
