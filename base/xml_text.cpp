#include "base/xml_text.h"

#include <tinyxml.h>

namespace quillary {

std::string split_cdata_terminators(std::string_view text) {
  constexpr std::string_view terminator = "]]>";
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  for (size_t found = text.find(terminator); found != std::string_view::npos;
       found = text.find(terminator, start)) {
    out.append(text.substr(start, found - start));
    out.append("]]]]><![CDATA[>");
    start = found + terminator.size();
  }
  out.append(text.substr(start));
  return out;
}

std::optional<std::string_view> element_text(const TiXmlElement& element, std::string& storage) {
  std::optional<std::string_view> text;
  bool joined = false;
  for (const TiXmlNode* child = element.FirstChild(); child; child = child->NextSibling()) {
    const TiXmlText* piece = child->ToText();
    if (!piece) continue;
    if (!text) {
      text = piece->ValueStr();
      continue;
    }
    if (!joined) storage.assign(*text);
    joined = true;
    storage += piece->ValueStr();
  }
  if (joined) text = storage;
  return text;
}

}  // namespace quillary
