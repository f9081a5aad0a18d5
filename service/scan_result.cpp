#include "service/scan_result.h"

#include "devices/device_inventory.h"
#include "service/offer_rules.h"
#include "service/update_matching.h"

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
  std::set<std::string_view> hidden;
  for (const auto& device : devices_) {
    for (const auto& item : device.hidden_items) hidden.insert(item.link_text(update_item::link));
  }
  hidden_packages_ = hidden.size();
}

std::unique_ptr<scan_result_c> scan_result_c::with_hidden(const hidden_updates_c& hidden) const {
  auto copy = std::unique_ptr<scan_result_c>(new scan_result_c());
  copy->classes_ = classes_;
  copy->devices_ = devices_;
  for (auto& device : copy->devices_) {
    // The copied records point into this result's class table.
    if (device.class_entry) device.class_entry = &copy->classes_[device.class_entry - classes_.data()];
    take_back_hidden_offers(device);
    set_aside_hidden_offers(device, hidden);
    device.best_item = device.latest_item = nullptr;
    device.best_is_update = device.latest_is_update = false;
    choose_items(device, os_version_code_, installed_links_);
  }
  copy->installed_links_ = installed_links_;
  copy->class_image_list_ = class_image_list_;
  copy->total_devices_ = total_devices_;
  copy->blocked_offers_ = blocked_offers_;
  copy->os_version_code_ = os_version_code_;
  copy->finish();
  return copy;
}

std::unique_ptr<scan_result_c> scan_into_result(device_inventory_c& inventory, scan_progress& progress) {
  device_list list;
  if (!inventory.scan_devices(progress, list)) return nullptr;
  auto result = std::make_unique<scan_result_c>(std::move(list), progress.total.load());
  result->set_class_image_list(inventory.class_image_list());
  return result;
}

}  // namespace quillary
