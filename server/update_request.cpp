#include "server/update_request.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdlib>

namespace quillary::server {

namespace {

std::string text_of(const TiXmlElement* parent, const char* name) {
  const TiXmlElement* element = parent->FirstChildElement(name);
  if (element == nullptr) return {};
  const char* text = element->GetText();
  return text == nullptr ? std::string() : std::string(text);
}

// The deepest element nesting of the text, stopping early once it passes
// `limit`. The XML library parses elements recursively, so a document nested
// a million levels deep would exhaust the thread's stack; the query document
// is four levels deep.
size_t nesting_depth(std::string_view xml, size_t limit) {
  size_t depth = 0, deepest = 0;
  size_t i = 0;
  const auto skip_past = [&](std::string_view end) {
    const size_t found = xml.find(end, i);
    i = found == std::string_view::npos ? xml.size() : found + end.size();
  };
  while (i < xml.size() && deepest <= limit) {
    if (xml[i] != '<') {
      ++i;
      continue;
    }
    const std::string_view rest = xml.substr(i);
    if (rest.substr(0, 4) == "<!--") {
      skip_past("-->");
    } else if (rest.substr(0, 9) == "<![CDATA[") {
      skip_past("]]>");
    } else if (rest.substr(0, 2) == "<!" || rest.substr(0, 2) == "<?") {
      skip_past(">");
    } else if (rest.substr(0, 2) == "</") {
      if (depth > 0) --depth;
      skip_past(">");
    } else {
      // A start tag: find its end outside attribute quotes.
      char quote = 0;
      size_t k = i + 1;
      for (; k < xml.size(); ++k) {
        if (quote != 0) {
          if (xml[k] == quote) quote = 0;
        } else if (xml[k] == '"' || xml[k] == '\'') {
          quote = xml[k];
        } else if (xml[k] == '>') {
          break;
        }
      }
      const bool empty_element = k < xml.size() && xml[k - 1] == '/';
      if (!empty_element) deepest = std::max(deepest, ++depth);
      i = k + 1;
    }
  }
  return deepest;
}

constexpr size_t max_nesting = 64;

std::vector<std::string> split_ids(const std::string& text) {
  std::vector<std::string> ids;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string id = text.substr(start, end - start);
    if (!id.empty() && id.back() == '\r') id.pop_back();
    if (!id.empty()) ids.push_back(std::move(id));
    start = end + 1;
  }
  return ids;
}

}  // namespace

bool parse_update_request(std::string_view xml, update_request& out, std::string& reason) {
  out = update_request{};
  if (xml.find('\0') != std::string_view::npos) {
    reason = "the document holds a NUL byte";
    return false;
  }
  if (nesting_depth(xml, max_nesting) > max_nesting) {
    reason = "elements nested too deeply";
    return false;
  }
  TiXmlDocument document;
  const std::string text(xml);
  document.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  if (document.Error()) {
    reason = std::string("not XML: ") + document.ErrorDesc();
    return false;
  }
  const TiXmlElement* root = document.RootElement();
  if (root == nullptr || root->ValueStr() != "driversm") {
    reason = "the root element is not driversm";
    return false;
  }
  const TiXmlElement* client = root->FirstChildElement("client");
  if (client == nullptr) {
    reason = "no client element";
    return false;
  }
  if (const char* os = client->Attribute("os")) out.os = os;
  if (const char* lang = client->Attribute("lang")) {
    char* end = nullptr;
    const long value = std::strtol(lang, &end, 10);
    if (end != lang && *end == '\0' && value > 0 && value < 100000) out.oem_code_page = value;
  }
  const TiXmlElement* hardwares = root->FirstChildElement("hardwares");
  if (hardwares == nullptr) {
    reason = "no hardwares element";
    return false;
  }
  for (const TiXmlElement* hardware = hardwares->FirstChildElement("hardware"); hardware != nullptr;
       hardware = hardware->NextSiblingElement("hardware")) {
    request_device device;
    device.id = text_of(hardware, "id");
    if (device.id.empty()) {
      reason = "a hardware element without id text";
      return false;
    }
    if (device.id.size() > max_device_id) {
      reason = "a device ID longer than " + std::to_string(max_device_id) + " bytes";
      return false;
    }
    device.match_id = text_of(hardware, "matchid");
    device.hardware_ids = split_ids(text_of(hardware, "hardids"));
    device.compatible_ids = split_ids(text_of(hardware, "compids"));
    out.devices.push_back(std::move(device));
  }
  return true;
}

}  // namespace quillary::server
