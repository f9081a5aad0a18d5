#include "devices/raw_scan.h"

#include <set>

#include "base/json_reader.h"
#include "base/json_writer.h"
#include "platform/text.h"

namespace quillary {
namespace {

constexpr device_property all_properties[] = {
    device_property::device_desc,   device_property::hardware_id,   device_property::compatible_ids,
    device_property::class_name,    device_property::class_guid,    device_property::friendly_name,
    device_property::enumerator_name};

constexpr char format_name[] = "quillary raw device scan 1";

class fixture_source_c : public device_source_i {
 public:
  explicit fixture_source_c(raw_scan scan) : scan_(std::move(scan)) {}

  bool list_classes(std::vector<class_guid>& out) override {
    if (scan_.class_list_fails) return false;
    out.clear();
    for (const auto& c : scan_.classes) {
      class_guid guid;
      parse_guid(c.guid, guid);
      out.push_back(guid);
    }
    return true;
  }
  std::u16string class_description(const class_guid& guid) override {
    const raw_class* c = find_class(guid);
    return c ? c->description : std::u16string();
  }
  bool class_name(const class_guid& guid, std::u16string& out) override {
    const raw_class* c = find_class(guid);
    if (!c || !c->name) return false;
    out = *c->name;
    return true;
  }
  int32_t class_image_index(const class_guid& guid) override {
    const raw_class* c = find_class(guid);
    return c ? c->image_index : 0;
  }
  void* class_image_list() override { return nullptr; }

  bool open_devices(bool all_devices) override {
    if (scan_.open_fails) return false;
    members_.clear();
    for (const auto& d : scan_.devices) {
      if (all_devices || d.present) members_.push_back(&d);
    }
    return true;
  }
  void close_devices() override { members_.clear(); }
  bool select_device(uint32_t index) override {
    failed_ = scan_.enumeration_error_at && index >= *scan_.enumeration_error_at;
    if (failed_ || index >= members_.size()) return false;
    current_ = members_[index];
    return true;
  }
  bool enumeration_failed() override { return failed_; }

  bool instance_id(std::u16string& out) override {
    if (!current_->instance_id) return false;
    out = *current_->instance_id;
    return true;
  }
  bool text_property(device_property property, std::u16string& out) override {
    const auto it = current_->texts.find(property);
    if (it == current_->texts.end()) return false;
    out = it->second;
    return true;
  }
  bool multi_property(device_property property, std::vector<std::u16string>& out) override {
    const auto it = current_->lists.find(property);
    if (it == current_->lists.end()) return false;
    out = it->second;
    return true;
  }
  bool read_driver_values(driver_values& out) override {
    if (!current_->driver) return false;
    out = *current_->driver;
    return true;
  }
  bool driver_rank(const std::u16string&, uint32_t& out) override {
    if (!current_->rank) return false;
    out = *current_->rank;
    return true;
  }
  bool devnode_status_ok() override { return current_->status_ok; }

 private:
  const raw_class* find_class(const class_guid& guid) const {
    for (const auto& c : scan_.classes) {
      class_guid parsed;
      if (parse_guid(c.guid, parsed) && parsed == guid) return &c;
    }
    return nullptr;
  }

  raw_scan scan_;
  std::vector<const raw_device*> members_;
  const raw_device* current_ = nullptr;
  bool failed_ = false;
};

// --- reading the JSON form ---------------------------------------------------

class reader_c {
 public:
  explicit reader_c(std::string& error) : error_(error) {}

  bool fail(const std::string& where, const std::string& what) {
    error_ = where + ": " + what;
    return false;
  }

  bool text(const json_value& v, const std::string& where, std::u16string& out) {
    if (!v.is_string()) return fail(where, "must be a string");
    out = utf8_to_utf16(v.text());
    return true;
  }

  bool device(const json_value& v, const std::string& where, raw_device& out) {
    if (!v.is_object()) return fail(where, "must be an object");
    for (const auto& [name, value] : v.members()) {
      const std::string at = where + "." + name;
      if (name == "instance_id") {
        std::u16string id;
        if (!text(value, at, id)) return false;
        out.instance_id = id;
      } else if (name == "present" || name == "status_ok") {
        if (!value.is_bool()) return fail(at, "must be true or false");
        (name == "present" ? out.present : out.status_ok) = value.boolean();
      } else if (name == "rank") {
        uint32_t rank = 0;
        if (!value.as_uint32(rank)) return fail(at, "must be a whole number from 0 to 4294967295");
        out.rank = rank;
      } else if (name == "properties") {
        if (!properties(value, at, out)) return false;
      } else if (name == "driver") {
        if (!value.is_object()) return fail(at, "must be an object");
        driver_values values;
        for (const auto& [key, entry] : value.members()) {
          if (!text(entry, at + "." + key, values[utf8_to_utf16(key)])) return false;
        }
        out.driver = std::move(values);
      } else {
        return fail(at, "unknown member");
      }
    }
    return true;
  }

  bool properties(const json_value& v, const std::string& where, raw_device& out) {
    if (!v.is_object()) return fail(where, "must be an object");
    for (const auto& [name, value] : v.members()) {
      const std::string at = where + "." + name;
      const device_property* property = nullptr;
      for (const auto& p : all_properties) {
        if (name == property_name(p)) property = &p;
      }
      if (!property) return fail(at, "unknown property");
      if (!is_list_property(*property)) {
        if (!text(value, at, out.texts[*property])) return false;
        continue;
      }
      if (!value.is_array()) return fail(at, "must be a list of strings");
      auto& list = out.lists[*property];
      for (const auto& item : value.items()) {
        list.emplace_back();
        if (!text(item, at + "[]", list.back())) return false;
      }
    }
    return true;
  }

 private:
  std::string& error_;
};

}  // namespace

const char* property_name(device_property property) {
  switch (property) {
    case device_property::device_desc: return "DeviceDesc";
    case device_property::hardware_id: return "HardwareID";
    case device_property::compatible_ids: return "CompatibleIDs";
    case device_property::class_name: return "Class";
    case device_property::class_guid: return "ClassGUID";
    case device_property::friendly_name: return "FriendlyName";
    case device_property::enumerator_name: return "EnumeratorName";
  }
  return "";
}

bool is_list_property(device_property property) {
  return property == device_property::hardware_id || property == device_property::compatible_ids;
}

bool capture_raw_scan(device_source_i& source, bool all_devices, raw_scan& out) {
  out = raw_scan();
  std::vector<class_guid> guids;
  out.class_list_fails = !source.list_classes(guids);
  for (const auto& guid : guids) {
    raw_class c;
    c.guid = guid_text(guid);
    c.description = source.class_description(guid);
    std::u16string name;
    if (source.class_name(guid, name)) c.name = name;
    c.image_index = source.class_image_index(guid);
    out.classes.push_back(std::move(c));
  }

  // Which devices a scan of present devices lists, by instance ID.
  std::set<std::u16string> present;
  if (all_devices && source.open_devices(false)) {
    std::u16string id;
    for (uint32_t i = 0; source.select_device(i); ++i) {
      if (source.instance_id(id)) present.insert(id);
    }
    source.close_devices();
  }
  if (!source.open_devices(all_devices)) {
    out.open_fails = true;
    return false;
  }
  uint32_t index = 0;
  for (; source.select_device(index); ++index) {
    raw_device d;
    std::u16string text;
    if (source.instance_id(text)) d.instance_id = text;
    d.present = !all_devices || (d.instance_id && present.count(*d.instance_id));
    for (const auto property : all_properties) {
      if (is_list_property(property)) {
        std::vector<std::u16string> list;
        if (source.multi_property(property, list)) d.lists[property] = list;
      } else if (source.text_property(property, text)) {
        d.texts[property] = text;
      }
    }
    driver_values values;
    if (source.read_driver_values(values)) {
      d.driver = values;
      uint32_t rank = 0;
      if (const auto inf = values.find(u"InfPath"); inf != values.end() && source.driver_rank(inf->second, rank)) {
        d.rank = rank;
      }
    }
    d.status_ok = source.devnode_status_ok();
    out.devices.push_back(std::move(d));
  }
  if (source.enumeration_failed()) out.enumeration_error_at = index;
  source.close_devices();
  return true;
}

std::string raw_scan_to_json(const raw_scan& scan) {
  json_writer_c json;
  json.begin_object();
  json.key("format").value(format_name);
  if (scan.class_list_fails) json.key("class_list_fails").value(true);
  if (scan.open_fails) json.key("open_fails").value(true);
  if (scan.enumeration_error_at) json.key("enumeration_error_at").value(*scan.enumeration_error_at);
  json.key("classes").begin_array();
  for (const auto& c : scan.classes) {
    json.begin_object();
    json.key("guid").value(c.guid);
    if (c.name) json.key("name").value(*c.name);
    json.key("description").value(c.description);
    json.key("image_index").value(c.image_index);
    json.end_object();
  }
  json.end_array();
  json.key("devices").begin_array();
  for (const auto& d : scan.devices) {
    json.begin_object();
    if (d.instance_id) json.key("instance_id").value(*d.instance_id);
    json.key("present").value(d.present);
    json.key("status_ok").value(d.status_ok);
    json.key("properties").begin_object();
    for (const auto property : all_properties) {
      if (const auto it = d.texts.find(property); it != d.texts.end()) {
        json.key(property_name(property)).value(it->second);
      }
      if (const auto it = d.lists.find(property); it != d.lists.end()) {
        json.key(property_name(property)).begin_array();
        for (const auto& item : it->second) json.value(item);
        json.end_array();
      }
    }
    json.end_object();
    if (d.driver) {
      json.key("driver").begin_object();
      for (const auto& [name, value] : *d.driver) json.key(utf16_to_utf8(name)).value(value);
      json.end_object();
    }
    if (d.rank) json.key("rank").value(static_cast<int64_t>(*d.rank));
    json.end_object();
  }
  json.end_array();
  json.end_object();
  return json.text();
}

bool raw_scan_from_json(std::string_view text, raw_scan& out, std::string& error) {
  out = raw_scan();
  json_value doc;
  if (!parse_json(text, doc, error)) return false;
  reader_c read(error);
  if (!doc.is_object()) return read.fail("the document", "must be an object");
  const json_value* format = doc.find("format");
  if (!format || !format->is_string() || format->text() != format_name) {
    return read.fail("format", std::string("must be \"") + format_name + "\"");
  }
  for (const auto& [name, value] : doc.members()) {
    if (name == "format") continue;
    if (name == "class_list_fails" || name == "open_fails") {
      if (!value.is_bool()) return read.fail(name, "must be true or false");
      (name == "open_fails" ? out.open_fails : out.class_list_fails) = value.boolean();
    } else if (name == "enumeration_error_at") {
      uint32_t at = 0;
      if (!value.as_uint32(at)) return read.fail(name, "must be a whole number");
      out.enumeration_error_at = at;
    } else if (name == "classes") {
      if (!value.is_array()) return read.fail(name, "must be a list");
      for (size_t i = 0; i < value.items().size(); ++i) {
        const auto& item = value.items()[i];
        const std::string at = "classes[" + std::to_string(i) + "]";
        if (!item.is_object()) return read.fail(at, "must be an object");
        raw_class c;
        class_guid guid;
        const json_value* g = item.find("guid");
        if (!g || !read.text(*g, at + ".guid", c.guid) || !parse_guid(c.guid, guid)) {
          return read.fail(at + ".guid", "must be a GUID in braces");
        }
        if (const json_value* n = item.find("name")) {
          std::u16string class_name;
          if (!read.text(*n, at + ".name", class_name)) return false;
          c.name = class_name;
        }
        if (const json_value* d = item.find("description"); d && !read.text(*d, at + ".description", c.description)) {
          return false;
        }
        if (const json_value* x = item.find("image_index")) {
          uint32_t index = 0;
          if (!x->as_uint32(index)) return read.fail(at + ".image_index", "must be a whole number");
          c.image_index = static_cast<int32_t>(index);
        }
        out.classes.push_back(std::move(c));
      }
    } else if (name == "devices") {
      if (!value.is_array()) return read.fail(name, "must be a list");
      for (size_t i = 0; i < value.items().size(); ++i) {
        out.devices.emplace_back();
        if (!read.device(value.items()[i], "devices[" + std::to_string(i) + "]", out.devices.back())) {
          return false;
        }
      }
    } else {
      return read.fail(name, "unknown member");
    }
  }
  return true;
}

std::unique_ptr<device_source_i> make_fixture_source(raw_scan scan) {
  return std::make_unique<fixture_source_c>(std::move(scan));
}

}  // namespace quillary
