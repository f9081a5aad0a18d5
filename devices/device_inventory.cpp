#include "devices/device_inventory.h"

#include "devices/device_enumeration.h"
#include "service/http_transfer.h"
#include "service/update_client.h"

namespace quillary {

device_inventory_c::device_inventory_c(std::unique_ptr<device_source_i> source)
    : source_(std::move(source)) {}

int device_inventory_c::scan_devices(scan_progress& progress) {
  // Records point into the class table, so both go together.
  devices_.clear();
  classes_.clear();
  if (!build_class_table(*source_, classes_)) return -1;
  return enumerate_devices(*source_, classes_, devices_, progress) ? 0 : -1;
}

void device_inventory_c::get_devices(device_record*& first, size_t& count) {
  first = devices_.empty() ? nullptr : devices_.data();
  count = devices_.size();
}

device_record* device_inventory_c::find_device(const std::u16string& device_id) {
  for (auto& record : devices_) {
    if (record.device_id == device_id) return &record;
  }
  return nullptr;
}

const device_class_entry* device_inventory_c::find_class_entry(const device_record& record) const {
  return quillary::find_class_entry(classes_, record);
}

namespace {
std::unique_ptr<device_inventory_c> inventory;
std::unique_ptr<update_client_c> client;
}  // namespace

int init_device_inventory(std::vector<std::string> servers) {
  // The transfer library makes its global state with the first transfer.
  auto source = make_system_device_source();
  if (!source) return -1;
  inventory = std::make_unique<device_inventory_c>(std::move(source));
  client = std::make_unique<update_client_c>(*inventory, std::move(servers));
  return 0;
}

void release_device_inventory(bool workers_ended) {
  // While a worker still runs (a download, a scan), the process ends with
  // everything it uses in place.
  if (!workers_ended) return;
  // No transfer object may outlive the library's global state.
  client.reset();
  transfer_library_cleanup();
  inventory.reset();
}

device_inventory_c* device_inventory() { return inventory.get(); }
update_client_c* update_client() { return client.get(); }

}  // namespace quillary
