#include "server/update_request.h"

#include <tinyxml.h>

#include <cstdlib>

#include "service/xml_guard.h"
#include "service/xml_text.h"

namespace quillary::server {

namespace {

// The element's whole text: the client splits CDATA sections around "]]>".
std::string text_of(const TiXmlElement* parent, const char* name) {
  const TiXmlElement* element = parent->FirstChildElement(name);
  if (element == nullptr) return {};
  std::string storage;
  return std::string(element_text(*element, storage).value_or(""));
}

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

// A decimal attribute from 1 to below `limit`; 0 when absent or anything else.
long positive_number(const char* text, long limit) {
  if (text == nullptr) return 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value > 0 && value < limit ? value : 0;
}

}  // namespace

bool parse_update_request(std::string_view xml, update_request& out, std::string& reason) {
  out = update_request{};
  if (xml.find('\0') != std::string_view::npos) {
    reason = "the document holds a NUL byte";
    return false;
  }
  // The XML library parses elements recursively: a document nested a
  // hundred thousand levels deep would exhaust the thread's stack.
  const xml_guard_verdict verdict = check_xml_nesting(xml).verdict;
  if (verdict != xml_guard_verdict::accepted) {
    reason = describe(verdict);
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
  out.oem_code_page = positive_number(client->Attribute("lang"), 100000);
  out.build = positive_number(client->Attribute("build"), 1000000000);
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
