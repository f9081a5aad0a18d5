#include "service/update_reply.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <optional>
#include <unordered_map>

#include "base/ascii_text.h"
#include "base/wire_vocabulary.h"
#include "base/xml_reader.h"
#include "service/scan_result.h"
#include "platform/text.h"

namespace quillary {
namespace {

// Where each element of an item goes.
enum class field_kind { text, link, number, hex_number, digest, signature };
struct item_field {
  std::string_view element;
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

constexpr auto item_elements = [] {
  std::array<std::string_view, std::size(item_fields)> names{};
  for (size_t i = 0; i < names.size(); ++i) names[i] = item_fields[i].element;
  return names;
}();

bool is_digit_of(char c, int base) { return base == 16 ? hex_digit_value(c) >= 0 : is_ascii_digit(c) && c - '0' < base; }

outcome invalid_reply(const char* reason) { return outcome::failed(error_code::invalid_reply, reason); }

// The reply read as the reader walks it; only the first root, the first
// "hardwares" in it and the first "id" of each "hardware" count. Each
// device's items are set aside and given to it only when the document has
// read to its end: TinyXML refused a document for a fault anywhere in it,
// and a refused reply changes no device.
class reply_walk_c {
 public:
  explicit reply_walk_c(std::vector<offered_device>& devices) {
    // The first device of each ID gets the items, as the device list is
    // searched from its start.
    devices_by_id_.reserve(devices.size());
    for (auto& device : devices) devices_by_id_.emplace(device.device_id, known_device{&device});
  }

  outcome read(std::string_view body) {
    xml_reader_c reader(body);
    for (;;) {
      switch (reader.next()) {
        case xml_reader_c::event::element_start: element_start(reader.name(), reader.depth()); break;
        case xml_reader_c::event::element_end: element_end(reader.depth()); break;
        case xml_reader_c::event::text: text(reader.text(), reader.depth()); break;
        case xml_reader_c::event::error: return invalid_reply("the reply is no complete XML document");
        case xml_reader_c::event::done: return finish();
      }
    }
  }

 private:
  // Levels of the reply: root, hardwares, hardware, its id or item, the item's fields.
  enum level : size_t { root_level = 1, devices_level, device_level, device_child_level, field_level };

  struct device_items {
    offered_device* device;
    std::vector<update_item> items;
  };
  struct known_device {
    offered_device* device;
    size_t pending = SIZE_MAX;  // its place in pending_, once a "hardware" named it
  };

  void element_start(std::string_view name, size_t depth) {
    switch (depth) {
      case root_level:
        in_root_ = !root_seen_;
        root_seen_ = true;
        break;
      case devices_level:
        in_devices_ = in_root_ && !devices_seen_ && name == wire::devices_element;
        devices_seen_ = devices_seen_ || in_devices_;
        break;
      case device_level:
        in_device_ = in_devices_ && name == wire::device_element;
        if (in_device_) start_device();
        break;
      case device_child_level:
        if (!in_device_) break;
        if (name == wire::device_id_element && !id_seen_) {
          in_id_ = id_seen_ = true;
        } else if (name == wire::item_element) {
          start_item();
        }
        break;
      case field_level:
        open_field_ = in_item_ ? field_of(name) : no_field;
        break;
    }
  }

  void element_end(size_t depth) {
    switch (depth) {
      case root_level: in_root_ = false; break;
      case devices_level: in_devices_ = false; break;
      case device_level:
        if (in_device_) end_device();
        in_device_ = false;
        break;
      case device_child_level:
        if (in_id_) end_id();
        if (in_item_) end_item();
        in_id_ = in_item_ = false;
        break;
      case field_level: open_field_ = no_field; break;
    }
  }

  // Every text node of an element counts, joined: TinyXML makes a node of
  // each CDATA section.
  void text(std::string_view piece, size_t depth) {
    if (depth == device_child_level && in_id_) {
      id_text_ += piece;
      id_has_text_ = true;
    } else if (depth == field_level && open_field_ != no_field) {
      field_texts_[open_field_] += piece;
    }
  }

  void start_device() {
    id_seen_ = in_id_ = id_has_text_ = id_known_ = false;
    id_text_.clear();
    device_ = nullptr;
    items_seen_ = 0;
    items_.clear();
  }

  void end_id() {
    id_known_ = true;
    if (!id_has_text_) return;
    const auto found = devices_by_id_.find(from_ansi(id_text_));
    device_ = found == devices_by_id_.end() ? nullptr : &found->second;
  }

  // The first items of a device count; none is made for a device the
  // program does not have, or once the reply has failed.
  void start_item() {
    in_item_ = ++items_seen_ <= max_items_per_device && !failure_ && !(id_known_ && !device_);
    if (!in_item_) return;
    std::fill(std::begin(field_found_), std::end(field_found_), false);
    for (auto& text : field_texts_) text.clear();
    expected_field_ = 0;
  }

  void end_item() {
    std::string_view values[std::size(item_fields)];
    for (size_t i = 0; i < std::size(values); ++i) values[i] = field_texts_[i];
    items_.push_back(reply_item_from_texts(values));
  }

  // The first element of each name counts; unknown ones are ignored. The
  // service sends them in one order, so the field after the last one found
  // is tried first.
  size_t field_of(std::string_view name) {
    const auto& fields = item_elements;
    size_t i = expected_field_ < fields.size() && name == fields[expected_field_] ? expected_field_ : 0;
    for (; i < fields.size() && name != fields[i]; ++i) {
    }
    if (i == fields.size() || field_found_[i]) return no_field;
    field_found_[i] = true;
    expected_field_ = i + 1;
    return i;
  }

  void end_device() {
    ++devices_read_;
    if (failure_) return;
    if (!id_has_text_) {
      failure_ = devices_read_ == 1 ? invalid_reply("the reply lists no device")
                                    : invalid_reply("a device of the reply has no id");
      return;
    }
    if (device_) {
      // A vector of the items' number, not of the scratch list's room. A
      // device named again takes the later items, as before in place, so
      // that what is set aside stays within 500 items a device.
      std::vector<update_item> items(std::make_move_iterator(items_.begin()), std::make_move_iterator(items_.end()));
      if (device_->pending == SIZE_MAX) {
        device_->pending = pending_.size();
        pending_.push_back({device_->device, std::move(items)});
      } else {
        pending_[device_->pending].items = std::move(items);
      }
    }
    items_.clear();
  }

  // The whole document read: the devices read before any fault get their items.
  outcome finish() {
    if (devices_read_ == 0) return invalid_reply("the reply lists no device");
    for (auto& [device, items] : pending_) {
      device->items = std::move(items);
      device->best_item = device->latest_item = nullptr;
      device->best_is_update = device->latest_is_update = false;
    }
    return failure_ ? *failure_ : outcome::done();
  }

  static constexpr size_t no_field = SIZE_MAX;

  std::unordered_map<std::u16string, known_device> devices_by_id_;
  std::vector<device_items> pending_;
  std::optional<outcome> failure_;
  size_t devices_read_ = 0;
  bool root_seen_ = false, in_root_ = false, devices_seen_ = false, in_devices_ = false, in_device_ = false;
  // The "hardware" open now.
  bool id_seen_ = false, in_id_ = false, id_has_text_ = false, id_known_ = false;
  std::string id_text_;
  known_device* device_ = nullptr;  // null for a device the program does not have
  size_t items_seen_ = 0;
  std::vector<update_item> items_;
  // The "item" open now, when it is read.
  bool in_item_ = false;
  bool field_found_[std::size(item_fields)] = {};
  std::string field_texts_[std::size(item_fields)];
  size_t expected_field_ = 0;
  size_t open_field_ = no_field;
};

}  // namespace

std::span<const std::string_view> reply_item_elements() { return item_elements; }

update_item reply_item_from_texts(std::span<const std::string_view> values) {
  size_t text_units = 0, link_bytes = 0;
  for (size_t i = 0; i < std::size(item_fields) && i < values.size(); ++i) {
    if (item_fields[i].kind == field_kind::text) text_units += values[i].size();
    if (item_fields[i].kind == field_kind::link) link_bytes += values[i].size();
  }
  update_item item;
  item.reserve(text_units, link_bytes);
  uint32_t* numbers[] = {&item.size, &item.cp, &item.sign, &item.feature, &item.targetos};
  for (size_t i = 0; i < std::size(item_fields); ++i) {
    const std::string_view value = i < values.size() ? values[i] : std::string_view();
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

outcome parse_update_reply(const char* body, std::vector<offered_device>& devices) {
  // The texts are in the client's ANSI code page whatever the declaration
  // says, so they are read byte by byte (a character reference above 127
  // gives one byte); a UTF-8 byte-order mark is no character of the reply.
  if (std::strncmp(body, "\xEF\xBB\xBF", 3) == 0) body += 3;
  return reply_walk_c(devices).read(body);
}

}  // namespace quillary
