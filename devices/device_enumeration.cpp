#include "devices/device_enumeration.h"

#include <algorithm>
#include <cstdio>

#include "platform/text.h"

namespace quillary {
namespace {

device_record* find_in(std::vector<device_record>& list, const std::u16string& device_id) {
  for (auto& record : list) {
    if (record.device_id == device_id) return &record;
  }
  return nullptr;
}

// Reads "%d" as the C library does: blanks, a sign, digits.
bool scan_int(std::u16string_view text, size_t& at, long& out) {
  while (at < text.size() && (text[at] == u' ' || (text[at] >= u'\t' && text[at] <= u'\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  const size_t start = at;
  long value = 0;
  while (at < text.size() && text[at] >= u'0' && text[at] <= u'9' && value < 100000000) {
    value = value * 10 + (text[at++] - u'0');
  }
  if (at == start) return false;
  out = negative ? -value : value;
  return true;
}

}  // namespace

outcome build_class_table(device_source_i& source, std::vector<device_class_entry>& table) {
  table.clear();
  std::vector<class_guid> guids;
  if (!source.list_classes(guids)) return outcome::failed(error_code::class_list_failed, "the device classes cannot be listed");
  void* image_list = source.class_image_list();
  for (const auto& guid : guids) {
    std::u16string name;
    // A class whose name cannot be read is left out, and so are its devices.
    if (!source.class_name(guid, name)) continue;
    device_class_entry entry;
    entry.guid = guid;
    entry.guid_text = guid_text(guid);
    entry.description = fit(source.class_description(guid), record_capacity::class_description);
    entry.name = fit(name, record_capacity::class_name);
    entry.image_list = image_list;
    entry.image_index = source.class_image_index(guid);
    table.push_back(std::move(entry));
  }
  std::stable_sort(table.begin(), table.end(), [](const auto& a, const auto& b) {
    return a.description < b.description;  // UTF-16 code units
  });
  return outcome::done();
}

const device_class_entry* find_class_entry(const std::vector<device_class_entry>& table,
                                           const device_record& record) {
  const bool by_name = !record.class_name.empty() && !record.class_guid.empty();
  const std::u16string& wanted = by_name ? record.class_name : u"Unknown";
  for (const auto& entry : table) {
    if (entry.name == wanted) return &entry;
  }
  return nullptr;
}

bool read_device_basics(device_source_i& source, device_record& record) {
  std::u16string instance;
  if (!source.instance_id(instance)) return false;
  const size_t cut = instance.rfind(u'\\');
  if (cut == std::u16string::npos || cut == 0) return false;
  record.device_id = fit(std::u16string_view(instance).substr(0, cut), record_capacity::device_id);

  std::u16string text;
  if (!source.text_property(device_property::friendly_name, text) &&
      !source.text_property(device_property::device_desc, text)) {
    return false;
  }
  record.description = fit(text, record_capacity::description);

  if (!source.text_property(device_property::enumerator_name, text)) {
    // Some systems (Wine among them) do not answer this property; the first
    // component of the instance ID is what Windows reports for it.
    text = instance.substr(0, instance.find(u'\\'));
  }
  record.enumerator = fit(text, record_capacity::enumerator);

  if (source.text_property(device_property::class_name, text)) {
    record.class_name = fit(text, record_capacity::class_name);
  }
  if (source.text_property(device_property::class_guid, text)) {
    record.class_guid = fit(text, record_capacity::class_guid);
  }
  // A device without compatible IDs is not listed.
  return source.multi_property(device_property::hardware_id, record.hardware_ids) &&
         source.multi_property(device_property::compatible_ids, record.compatible_ids);
}

bool read_driver_key(device_source_i& source, device_record& record) {
  driver_values values;
  if (!source.read_driver_values(values)) return false;
  struct field {
    const char16_t* name;
    std::u16string* target;
    size_t capacity;
  };
  const field required[] = {
      {u"DriverVersion", &record.driver_version, record_capacity::driver_version},
      {u"InfPath", &record.inf_path, record_capacity::inf_path},
      {u"DriverDate", &record.driver_date, record_capacity::driver_date},
      {u"DriverDesc", &record.driver_description, record_capacity::driver_description},
      {u"MatchingDeviceId", &record.matching_device_id, record_capacity::matching_device_id},
  };
  // In this order, stopping at the first that is missing; the fields read
  // before it keep their values.
  for (const auto& f : required) {
    const auto it = values.find(f.name);
    if (it == values.end()) return false;
    *f.target = fit(it->second, f.capacity);
    if (f.target == &record.driver_date) normalize_driver_date(record.driver_date);
  }
  if (const auto it = values.find(u"ProviderName"); it != values.end()) {
    record.provider_name = fit(it->second, record_capacity::provider_name);
  }
  return true;
}

bool read_driver_rank(device_source_i& source, device_record& record) {
  uint32_t rank = 0;
  if (!source.driver_rank(record.inf_path, rank)) return false;
  record.driver_rank = rank;
  return true;
}

void normalize_driver_date(std::u16string& text) {
  size_t at = 0;
  long month = 0, day = 0, year = 0;
  if (!scan_int(text, at, month) || at >= text.size() || text[at++] != u'-' ||
      !scan_int(text, at, day) || at >= text.size() || text[at++] != u'-' ||
      !scan_int(text, at, year)) {
    return;
  }
  char out[48];
  std::snprintf(out, sizeof out, "%ld-%02ld-%02ld", year, month, day);
  text = fit(ascii_to_utf16(out), record_capacity::driver_date);
}

bool is_excluded_device(const device_record& record) {
  const auto& e = record.enumerator;
  const auto& c = record.class_name;
  return equal_ignore_case(e, u"ISAPNP") || equal_ignore_case(e, u"ROOT") ||
         equal_ignore_case(c, u"DiskDrive") ||
         (equal_ignore_case(e, u"ACPI") &&
          (equal_ignore_case(c, u"System") || equal_ignore_case(c, u"Processor")));
}

outcome enumerate_devices(device_source_i& source, const std::vector<device_class_entry>& classes,
                          std::vector<device_record>& list, scan_progress& progress) {
  if (!source.open_devices(progress.all_devices.load() != 0)) {
    return outcome::failed(error_code::device_set_failed, "the device information set cannot be opened");
  }
  uint32_t total = 0;
  while (source.select_device(total)) ++total;
  progress.total.store(static_cast<int32_t>(total));
  // The page reads current_name from another thread while the list grows:
  // with room for every member reserved, no record ever moves.
  list.reserve(list.size() + total);

  for (uint32_t index = 0; source.select_device(index); ++index) {
    device_record candidate;
    bool keep = read_device_basics(source, candidate);
    if (keep) {
      if (device_record* same = find_in(list, candidate.device_id)) {
        ++same->instance_count;
        keep = false;
      }
    }
    if (keep && !candidate.class_name.empty() && !candidate.class_guid.empty()) {
      if (candidate.class_name == u"LegacyDriver") {
        keep = false;
      } else {
        candidate.has_driver = read_driver_key(source, candidate);
        if (candidate.has_driver) read_driver_rank(source, candidate);
      }
    }
    if (keep) {
      candidate.status_ok = source.devnode_status_ok();
      candidate.class_entry = find_class_entry(classes, candidate);
      keep = candidate.class_entry && !(candidate.has_driver && is_excluded_device(candidate));
    }
    progress.current.store(static_cast<int32_t>(index + 1));
    // The set is a snapshot, so the second walk meets the members the count
    // met; the capacity check only guards the promise that records never move.
    if (keep && list.size() < list.capacity()) {
      list.push_back(std::move(candidate));
      progress.current_name.store(list.back().description.c_str());
    }
  }
  const bool failed = source.enumeration_failed();
  source.close_devices();
  if (failed) return outcome::failed(error_code::enumeration_failed, "the device enumeration ended with an error");
  return outcome::done();
}

}  // namespace quillary
