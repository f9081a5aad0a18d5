// What the program knows about one device and one device setup class.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>


namespace quillary {

// A class GUID as 16 bytes, in the system's memory layout.
struct class_guid {
  uint8_t bytes[16] = {};
  bool operator==(const class_guid&) const = default;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals, as StringFromGUID2 writes it.
std::u16string guid_text(const class_guid& guid);
// Reads that form (any letter case, braces required); false otherwise.
bool parse_guid(std::u16string_view text, class_guid& out);

// Texts keep at most the characters that fit these capacities (terminator
// included), wherever they come from: the update request and the screens
// rely on the lengths.
namespace record_capacity {
constexpr size_t device_id = 200;
constexpr size_t class_name = 32;
constexpr size_t class_guid = 39;
constexpr size_t description = 1025;
constexpr size_t enumerator = 129;
constexpr size_t inf_path = 260;
constexpr size_t driver_date = 11;
constexpr size_t driver_description = 1025;
constexpr size_t driver_version = 65;
constexpr size_t provider_name = 129;
constexpr size_t matching_device_id = 200;
constexpr size_t class_description = 256;  // the buffer the description is read into
}  // namespace record_capacity

// The text cut to what fits `capacity` characters with a terminator.
std::u16string fit(std::u16string_view text, size_t capacity);

struct device_class_entry {
  class_guid guid;
  std::u16string guid_text;
  std::u16string description;
  std::u16string name;
  void* image_list = nullptr;  // the inventory's class image list (HIMAGELIST)
  int32_t image_index = 0;
  int32_t reserved = 0;
};

// One distinct device (device ID) of a scan: what the device tree says
// about it and its installed driver.
struct device_record {
  std::u16string device_id;  // the instance ID without its last component
  std::u16string class_name;
  std::u16string class_guid;
  std::u16string description;
  std::u16string enumerator;
  std::vector<std::u16string> hardware_ids;
  std::vector<std::u16string> compatible_ids;
  int32_t instance_count = 1;
  std::u16string inf_path;
  std::u16string driver_date;  // year-month-day
  std::u16string driver_description;
  std::u16string driver_version;
  std::u16string provider_name;
  std::u16string matching_device_id;
  uint32_t driver_rank = 0;
  bool has_driver = false;
  bool status_ok = false;
  const device_class_entry* class_entry = nullptr;
};

// The record of that device ID among `devices`; null if none.
device_record* find_device(std::vector<device_record>& devices, std::u16string_view device_id);

// The devices of one scan with the class table their records point into.
// Moved whole (the vectors keep their storage, so the pointers stay
// valid); never copied, which would leave them pointing into the original.
struct device_list {
  device_list() = default;
  device_list(device_list&&) = default;
  device_list& operator=(device_list&&) = default;
  device_list(const device_list&) = delete;
  device_list& operator=(const device_list&) = delete;

  std::vector<device_class_entry> classes;
  std::vector<device_record> devices;
};

// How a scan reports to the page that started it. `all_devices` is input;
// the scan thread writes the rest while the window thread reads it.
struct scan_progress {
  std::atomic<int32_t> all_devices{0};
  std::atomic<int32_t> total{0};
  std::atomic<int32_t> current{0};
  // The description of the device most recently listed; null until then.
  std::atomic<const char16_t*> current_name{nullptr};
};

}  // namespace quillary
