#include "service/scan_result.h"

#include "devices/device_inventory.h"

namespace quillary {

scan_result_c::scan_result_c(device_list&& list, int32_t total_devices)
    : classes_(std::move(list.classes)), total_devices_(total_devices) {
  // Moving the class table kept its storage, so the records' class
  // pointers still hold.
  devices_.reserve(list.devices.size());
  for (auto& record : list.devices) devices_.emplace_back(std::move(record));
}

std::vector<const device_record*> scan_result_c::device_records() const {
  std::vector<const device_record*> records;
  records.reserve(devices_.size());
  for (const auto& device : devices_) records.push_back(&device);
  return records;
}

void scan_result_c::finish() {
  best_rows_.build(devices_, offer_choice::best);
  latest_rows_.build(devices_, offer_choice::latest);
}

std::unique_ptr<scan_result_c> scan_into_result(device_inventory_c& inventory, scan_progress& progress) {
  device_list list;
  if (!inventory.scan_devices(progress, list)) return nullptr;
  auto result = std::make_unique<scan_result_c>(std::move(list), progress.total.load());
  result->set_class_image_list(inventory.class_image_list());
  return result;
}

}  // namespace quillary
