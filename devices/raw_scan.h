// A raw device scan: everything a device source reports, before any rule of
// the enumeration is applied. `quillary-cli scan --raw` records one from a
// live system; the fixture source replays it, so that a scan taken on any
// Windows machine can be run again natively, through the same algorithm.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/device_source.h"

namespace quillary {

struct raw_class {
  std::u16string guid;                 // "{...}"
  std::optional<std::u16string> name;  // absent: the name cannot be read
  std::u16string description;
  int32_t image_index = 0;
};

struct raw_device {
  std::optional<std::u16string> instance_id;
  bool present = true;  // listed in a scan of present devices
  bool status_ok = true;
  // Readable properties only; hardware and compatible IDs as lists.
  std::map<device_property, std::u16string> texts;
  std::map<device_property, std::vector<std::u16string>> lists;
  std::optional<driver_values> driver;  // absent: no driver key
  std::optional<uint32_t> rank;         // absent: cannot be read
};

struct raw_scan {
  std::vector<raw_class> classes;
  std::vector<raw_device> devices;
  // Failures a source can report, for replaying them.
  bool class_list_fails = false;
  bool open_fails = false;
  std::optional<uint32_t> enumeration_error_at;
};

// Walks the source without filtering; with `all_devices`, devices that are
// not present are included and marked.
bool capture_raw_scan(device_source_i& source, bool all_devices, raw_scan& out);

std::string raw_scan_to_json(const raw_scan& scan);
// False with a message naming what is wrong.
bool raw_scan_from_json(std::string_view text, raw_scan& out, std::string& error);

// The JSON name of a property ("DeviceDesc", "HardwareID", ...).
const char* property_name(device_property property);
bool is_list_property(device_property property);

// Replays a raw scan.
std::unique_ptr<device_source_i> make_fixture_source(raw_scan scan);

}  // namespace quillary
