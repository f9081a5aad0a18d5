// Device fixtures: any bytes must either be refused with a message or give a
// scan that runs through the enumeration without crashing.
#include <cstdint>
#include <string_view>

#include "devices/device_inventory.h"
#include "devices/raw_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillary::raw_scan scan;
  std::string error;
  if (!quillary::raw_scan_from_json(std::string_view(reinterpret_cast<const char*>(data), size), scan, error)) {
    return 0;
  }
  for (const bool all : {false, true}) {
    quillary::device_inventory_c inventory(quillary::make_fixture_source(scan));
    quillary::scan_progress progress;
    progress.all_devices = all;
    quillary::device_list list;
    (void)inventory.scan_devices(progress, list);
  }
  return 0;
}
