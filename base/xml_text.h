// Texts of the update query's documents as TinyXML holds them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class TiXmlElement;

namespace quillary {

// The text as the content of CDATA sections: a section cannot hold "]]>",
// so each one is split between two adjacent sections ("a]]>b" becomes
// "a]]]]><![CDATA[>b", printed inside <![CDATA[ and ]]>).
std::string split_cdata_terminators(std::string_view text);

// The element's text children joined: TinyXML makes each CDATA section a
// text node of its own, so a text split as above arrives in pieces. nullopt
// when the element has no text child. A single child, the usual case, is
// returned without a copy; several are joined in `storage`.
std::optional<std::string_view> element_text(const TiXmlElement& element, std::string& storage);

}  // namespace quillary
