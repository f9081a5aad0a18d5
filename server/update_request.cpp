#include "server/update_request.h"

#include <tinyxml.h>

#include <cstdlib>

#include "base/ascii_text.h"
#include "base/xml_guard.h"
#include "base/wire_vocabulary.h"
#include "base/xml_text.h"

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

// A LANGID in exactly four hexadecimal digits, either case; 0 otherwise.
uint16_t language_id(const char* text) {
  if (text == nullptr) return 0;
  const std::string_view digits(text);
  uint64_t value = 0;
  return digits.size() == 4 && parse_hex(digits, value, 4) ? static_cast<uint16_t>(value) : 0;
}

}  // namespace

request_verdict parse_update_request(const std::string& xml, update_request& out, std::string& reason,
                                     const request_limits& limits) {
  out = update_request{};
  const request_verdict malformed = request_verdict::malformed;
  if (xml.find('\0') != std::string::npos) {
    reason = "the document holds a NUL byte";
    return malformed;
  }
  // The XML library parses elements recursively: a document nested a
  // hundred thousand levels deep would exhaust the thread's stack. And it
  // allocates per node: a few megabytes of tiny elements would take a
  // gigabyte.
  const xml_guard_verdict verdict = check_xml_nesting(xml, max_xml_nesting, limits.max_nodes).verdict;
  if (verdict == xml_guard_verdict::too_many_nodes) {
    reason = std::string(describe(verdict)) + " (at most " + std::to_string(limits.max_nodes) + ")";
    return request_verdict::too_large;
  }
  if (verdict != xml_guard_verdict::accepted) {
    reason = describe(verdict);
    return malformed;
  }
  TiXmlDocument document;
  document.Parse(xml.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  if (document.Error()) {
    reason = std::string("not XML: ") + document.ErrorDesc();
    return malformed;
  }
  const TiXmlElement* root = document.RootElement();
  if (root == nullptr || root->ValueStr() != wire::root_element) {
    reason = "the root element is not driversm";
    return malformed;
  }
  const TiXmlElement* client = root->FirstChildElement(wire::client_element);
  if (client == nullptr) {
    reason = "no client element";
    return malformed;
  }
  if (const char* os = client->Attribute(wire::os_attribute)) out.os = os;
  out.oem_code_page = positive_number(client->Attribute(wire::code_page_attribute), 100000);
  out.build = positive_number(client->Attribute(wire::build_attribute), 1000000000);
  out.ui_language = language_id(client->Attribute(wire::ui_language_attribute));
  const TiXmlElement* hardwares = root->FirstChildElement(wire::devices_element);
  if (hardwares == nullptr) {
    reason = "no hardwares element";
    return malformed;
  }
  for (const TiXmlElement* hardware = hardwares->FirstChildElement(wire::device_element); hardware != nullptr;
       hardware = hardware->NextSiblingElement(wire::device_element)) {
    if (out.devices.size() == limits.max_devices) {
      reason = "more than " + std::to_string(limits.max_devices) + " devices";
      return request_verdict::too_large;
    }
    request_device device;
    device.id = text_of(hardware, wire::device_id_element);
    if (device.id.empty()) {
      reason = "a hardware element without id text";
      return malformed;
    }
    if (device.id.size() > max_device_id) {
      reason = "a device ID longer than " + std::to_string(max_device_id) + " bytes";
      return malformed;
    }
    device.match_id = text_of(hardware, wire::matching_id_element);
    device.hardware_ids = split_ids(text_of(hardware, wire::hardware_ids_element));
    device.compatible_ids = split_ids(text_of(hardware, wire::compatible_ids_element));
    if (device.hardware_ids.size() + device.compatible_ids.size() > limits.max_ids_per_device) {
      reason = "a device with more than " + std::to_string(limits.max_ids_per_device) + " IDs";
      return request_verdict::too_large;
    }
    out.devices.push_back(std::move(device));
  }
  return request_verdict::accepted;
}

}  // namespace quillary::server
