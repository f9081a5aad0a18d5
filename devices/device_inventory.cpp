#include "devices/device_inventory.h"

#include "devices/device_enumeration.h"

namespace quillary {

device_inventory_c::device_inventory_c(std::unique_ptr<device_source_i> source) : source_(std::move(source)) {}

outcome device_inventory_c::scan_devices(scan_progress& progress, device_list& out) {
  // Records point into the class table, so both are made here together.
  out.devices.clear();
  out.classes.clear();
  outcome classes = build_class_table(*source_, out.classes);
  if (!classes) return classes;
  return enumerate_devices(*source_, out.classes, out.devices, progress);
}

}  // namespace quillary
