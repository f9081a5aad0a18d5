// TinyXML's own reading of a text, for the tests and the fuzzer that hold
// the program's forward XML reader and its reply walk to it: the events a
// document TinyXML builds stands for, and the update reply read from that
// document the way the program read it before it stopped building one.
#pragma once

#include <tinyxml.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/wire_vocabulary.h"
#include "base/xml_guard.h"
#include "base/xml_reader.h"
#include "base/xml_text.h"
#include "service/scan_result.h"
#include "service/update_reply.h"
#include "platform/text.h"

namespace quillary::testing {

// A reading as a list: "<name" for an element's start, ">name" for its end,
// "=text" for a text node inside an element; `error` for a refused text
// (then the list is what was read before the fault).
struct xml_reading {
  bool error = false;
  std::vector<std::string> events;
  bool operator==(const xml_reading&) const = default;
};

inline void append_events(const TiXmlNode& parent, bool inside_element, std::vector<std::string>& events) {
  for (const TiXmlNode* child = parent.FirstChild(); child; child = child->NextSibling()) {
    if (const TiXmlElement* element = child->ToElement()) {
      events.push_back("<" + element->ValueStr());
      append_events(*element, true, events);
      events.push_back(">" + element->ValueStr());
    } else if (const TiXmlText* text = child->ToText(); text && inside_element) {
      events.push_back("=" + text->ValueStr());
    }
  }
}

// TinyXML's reading behind the nesting guard, as the program would have
// parsed (the guard's depth limits the recursion here).
inline xml_reading tinyxml_reading(const char* text, size_t max_depth = max_xml_nesting) {
  xml_reading reading;
  if (check_xml_nesting(text, max_depth).verdict != xml_guard_verdict::accepted) {
    reading.error = true;
    return reading;
  }
  TiXmlDocument document;
  document.Parse(text, nullptr, TIXML_ENCODING_LEGACY);
  reading.error = document.Error();
  if (!reading.error) append_events(document, false, reading.events);
  return reading;
}

inline xml_reading reader_reading(std::string_view text, size_t max_depth = max_xml_nesting) {
  xml_reading reading;
  xml_reader_c reader(text, max_depth);
  for (;;) {
    switch (reader.next()) {
      case xml_reader_c::event::element_start: reading.events.push_back("<" + std::string(reader.name())); break;
      case xml_reader_c::event::element_end: reading.events.push_back(">" + std::string(reader.name())); break;
      case xml_reader_c::event::text: reading.events.push_back("=" + std::string(reader.text())); break;
      case xml_reader_c::event::error:
        reading.error = true;
        reading.events.clear();
        return reading;
      case xml_reader_c::event::done: return reading;
    }
  }
}

inline std::optional<std::string> joined_text(const TiXmlElement& element) {
  std::string storage;
  const auto text = element_text(element, storage);
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

inline update_item reference_item(const TiXmlElement& element) {
  const auto names = reply_item_elements();
  std::vector<std::string> texts(names.size());
  std::vector<bool> found(names.size());
  for (const TiXmlElement* child = element.FirstChildElement(); child; child = child->NextSiblingElement()) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (child->ValueStr() != names[i]) continue;
      if (!found[i]) texts[i] = joined_text(*child).value_or("");
      found[i] = true;
      break;
    }
  }
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  return reply_item_from_texts(views);
}

// The reply read from TinyXML's document: the first root, its first
// "hardwares", each "hardware" by the text of its first "id", its first 500
// items, onto the first device of that ID; a document with a fault, or
// without a first device's ID, changes nothing.
inline outcome reference_parse_update_reply(const char* body, std::vector<offered_device>& devices) {
  const auto refused = [](const char* why) { return outcome::failed(error_code::invalid_reply, why); };
  if (std::strncmp(body, "\xEF\xBB\xBF", 3) == 0) body += 3;
  if (check_xml_nesting(body).verdict != xml_guard_verdict::accepted) return refused("guard");
  TiXmlDocument document;
  document.Parse(body, nullptr, TIXML_ENCODING_LEGACY);
  if (document.Error()) return refused("document");
  const TiXmlElement* root = document.RootElement();
  const TiXmlElement* hardwares = root ? root->FirstChildElement(wire::devices_element) : nullptr;
  const TiXmlElement* first = hardwares ? hardwares->FirstChildElement(wire::device_element) : nullptr;
  const auto id_of = [](const TiXmlElement& hardware) -> std::optional<std::string> {
    const TiXmlElement* id = hardware.FirstChildElement(wire::device_id_element);
    return id ? joined_text(*id) : std::nullopt;
  };
  if (!first || !id_of(*first)) return refused("no device");
  for (const TiXmlElement* hardware = first; hardware; hardware = hardware->NextSiblingElement(wire::device_element)) {
    const auto id = id_of(*hardware);
    if (!id) return refused("no id");
    for (auto& device : devices) {
      if (device.device_id != from_ansi(*id)) continue;
      device.items.clear();
      device.best_item = device.latest_item = nullptr;
      for (const TiXmlElement* item = hardware->FirstChildElement(wire::item_element);
           item && device.items.size() < max_items_per_device; item = item->NextSiblingElement(wire::item_element)) {
        device.items.push_back(reference_item(*item));
      }
      break;
    }
  }
  return outcome::done();
}

inline bool same_item(const update_item& a, const update_item& b) {
  for (int f = 0; f < update_item::text_field_count; ++f) {
    if (a.text(static_cast<update_item::text_field>(f)) != b.text(static_cast<update_item::text_field>(f))) return false;
  }
  for (int f = 0; f < update_item::link_field_count; ++f) {
    if (a.link_text(static_cast<update_item::link_field>(f)) != b.link_text(static_cast<update_item::link_field>(f))) {
      return false;
    }
  }
  const bool same_digest = a.sha256() && b.sha256() ? *a.sha256() == *b.sha256() : !a.sha256() == !b.sha256();
  return same_digest && a.signature() == b.signature() && a.size == b.size && a.cp == b.cp && a.sign == b.sign &&
         a.feature == b.feature && a.targetos == b.targetos;
}

inline bool same_items(const std::vector<offered_device>& a, const std::vector<offered_device>& b) {
  if (a.size() != b.size()) return false;
  for (size_t d = 0; d < a.size(); ++d) {
    if (a[d].items.size() != b[d].items.size()) return false;
    for (size_t i = 0; i < a[d].items.size(); ++i) {
      if (!same_item(a[d].items[i], b[d].items[i])) return false;
    }
  }
  return true;
}

}  // namespace quillary::testing
