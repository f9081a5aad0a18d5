#include "service/update_reply.h"

#include <tinyxml.h>

#include <cstring>

#include "base/ascii_text.h"
#include "base/wire_vocabulary.h"
#include "base/xml_guard.h"
#include "base/xml_text.h"
#include "service/scan_result.h"
#include "platform/text.h"

namespace quillary {
namespace {

// Where each element of an item goes.
enum class field_kind { text, link, number, hex_number, digest, signature };
struct item_field {
  const char* element;
  field_kind kind;
  int slot;  // text_field, link_field, or index into the numbers
};
constexpr item_field item_fields[] = {
    {wire::item_hardware_id, field_kind::text, update_item::hardid},
    {wire::item_title, field_kind::text, update_item::title},
    {wire::item_version, field_kind::text, update_item::ver},
    {wire::item_class_guid, field_kind::text, update_item::guid},
    {wire::item_inf_path, field_kind::text, update_item::inf_name},
    {wire::item_manufacturer, field_kind::text, update_item::manu},
    {wire::item_date, field_kind::text, update_item::date},
    {wire::item_description, field_kind::text, update_item::desc},
    {wire::item_link, field_kind::link, update_item::link},
    {wire::item_official_link, field_kind::link, update_item::official_link},
    {wire::item_size, field_kind::number, 0},
    {wire::item_rank, field_kind::number, 1},
    {wire::item_signed, field_kind::number, 2},
    {wire::item_feature, field_kind::hex_number, 3},
    {wire::item_target_os, field_kind::number, 4},
    // Services that check their packages name each one's SHA-256; a value
    // that is not 64 hexadecimal digits is ignored like an unknown element.
    {wire::item_sha256, field_kind::digest, 0},
    // The publisher's signature of the package (its `.minisig` file in
    // base64), checked before the package counts as downloaded.
    {wire::item_minisig, field_kind::signature, 0},
};

update_item read_item(const TiXmlElement& element) {
  // The first element of each name counts; unknown ones are ignored. The
  // service sends them in one order, so the field after the last one found
  // is tried first.
  const TiXmlElement* found[std::size(item_fields)] = {};
  size_t expected = 0;
  for (const TiXmlElement* child = element.FirstChildElement(); child; child = child->NextSiblingElement()) {
    const char* name = child->Value();
    size_t i = expected < std::size(item_fields) && std::strcmp(name, item_fields[expected].element) == 0
                   ? expected
                   : 0;
    for (; i < std::size(item_fields) && std::strcmp(name, item_fields[i].element) != 0; ++i) {
    }
    if (i == std::size(item_fields) || found[i]) continue;
    found[i] = child;
    expected = i + 1;
  }

  std::string_view values[std::size(item_fields)];
  std::string joined[std::size(item_fields)];
  size_t text_units = 0, link_bytes = 0;
  for (size_t i = 0; i < std::size(item_fields); ++i) {
    if (found[i]) values[i] = element_text(*found[i], joined[i]).value_or("");
    if (item_fields[i].kind == field_kind::text) text_units += values[i].size();
    if (item_fields[i].kind == field_kind::link) link_bytes += values[i].size();
  }
  update_item item;
  item.reserve(text_units, link_bytes);
  uint32_t* numbers[] = {&item.size, &item.cp, &item.sign, &item.feature, &item.targetos};
  for (size_t i = 0; i < std::size(item_fields); ++i) {
    const std::string_view value = values[i];
    const auto& f = item_fields[i];
    switch (f.kind) {
      case field_kind::text:
        if (f.slot == update_item::inf_name) {
          item.append_text(update_item::inf_name, inf_name_of(std::u16string_view(from_ansi(value)).substr(0, 259)));
        } else {
          item.append_ansi_text(static_cast<update_item::text_field>(f.slot), value);
        }
        break;
      case field_kind::link:
        item.append_link(static_cast<update_item::link_field>(f.slot), value);
        break;
      case field_kind::number:
        *numbers[f.slot] = reply_number(value, 10);
        break;
      case field_kind::hex_number:
        *numbers[f.slot] = reply_number(value, 16);
        break;
      case field_kind::digest:
        if (sha256_digest digest; parse_sha256_hex(value, digest)) item.set_sha256(digest);
        break;
      case field_kind::signature:
        item.set_signature(value);
        break;
    }
  }
  return item;
}

void read_items(const TiXmlElement& hardware, offered_device& device) {
  device.items.clear();
  device.best_item = device.latest_item = nullptr;
  device.best_is_update = device.latest_is_update = false;
  size_t count = 0;
  for (const TiXmlElement* e = hardware.FirstChildElement(wire::item_element); e && count < max_items_per_device;
       e = e->NextSiblingElement(wire::item_element)) {
    ++count;
  }
  device.items.reserve(count);
  for (const TiXmlElement* e = hardware.FirstChildElement(wire::item_element); e && device.items.size() < count;
       e = e->NextSiblingElement(wire::item_element)) {
    device.items.push_back(read_item(*e));
  }
}

offered_device* find_device(std::vector<offered_device>& devices, const std::u16string& device_id) {
  for (auto& device : devices) {
    if (device.device_id == device_id) return &device;
  }
  return nullptr;
}

// The text of the hardware's "id"; nullopt when it has none.
std::optional<std::string_view> id_text(const TiXmlElement& hardware, std::string& storage) {
  const TiXmlElement* id = hardware.FirstChildElement(wire::device_id_element);
  return id ? element_text(*id, storage) : std::nullopt;
}

bool is_digit_of(char c, int base) { return base == 16 ? hex_digit_value(c) >= 0 : is_ascii_digit(c) && c - '0' < base; }

outcome invalid_reply(const char* reason) { return outcome::failed(error_code::invalid_reply, reason); }

}  // namespace

std::u16string inf_name_of(std::u16string_view infpath) {
  std::u16string path(infpath);
  for (auto& c : path) {
    if (c == u'/') c = u'\\';
  }
  const size_t separator = path.find(u'\\');
  return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

uint32_t reply_number(std::string_view text, int base) {
  const auto at = [&](size_t i) { return i < text.size() ? text[i] : '\0'; };
  size_t i = 0;
  while (is_ascii_space(at(i))) ++i;
  const bool negative = at(i) == '-';
  if (at(i) == '-' || at(i) == '+') ++i;
  if (base == 16 && at(i) == '0' && to_lower_ascii(at(i + 1)) == 'x') i += 2;
  constexpr uint64_t largest = 0xFFFFFFFFu;
  uint64_t value = 0;
  for (; is_digit_of(at(i), base); ++i) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(hex_digit_value(at(i)));
    if (value > largest) return static_cast<uint32_t>(largest);
  }
  const auto magnitude = static_cast<uint32_t>(value);
  return negative ? 0u - magnitude : magnitude;
}

bool parse_reply_document(const char* body, TiXmlDocument& document) {
  // The texts are in the client's ANSI code page whatever the declaration
  // says, so TinyXML reads byte by byte (a character reference above 127
  // gives one byte); a UTF-8 byte-order mark is no character of the reply.
  if (std::strncmp(body, "\xEF\xBB\xBF", 3) == 0) body += 3;
  if (check_xml_nesting(body).verdict != xml_guard_verdict::accepted) return false;
  document.Parse(body, nullptr, TIXML_ENCODING_LEGACY);
  // A document cut off or broken part-way is refused as a whole: TinyXML
  // keeps what it read before the fault, half a link included.
  return !document.Error();
}

outcome parse_update_reply(const char* body, std::vector<offered_device>& devices) {
  TiXmlDocument doc;
  if (!parse_reply_document(body, doc)) return invalid_reply("the reply is no complete XML document");
  const TiXmlElement* root = doc.RootElement();
  const TiXmlElement* hardwares = root ? root->FirstChildElement(wire::devices_element) : nullptr;
  const TiXmlElement* first = hardwares ? hardwares->FirstChildElement(wire::device_element) : nullptr;
  std::string storage;
  if (!first || !id_text(*first, storage)) return invalid_reply("the reply lists no device");
  for (const TiXmlElement* hardware = first; hardware; hardware = hardware->NextSiblingElement(wire::device_element)) {
    const std::optional<std::string_view> id = id_text(*hardware, storage);
    if (!id) return invalid_reply("a device of the reply has no id");
    if (offered_device* device = find_device(devices, from_ansi(*id))) read_items(*hardware, *device);
  }
  return outcome::done();
}

}  // namespace quillary
