// What one scan found: the machine's devices, what the update service
// offers each of them with the two picks among the offers, and the package
// rows of the download page for either pick. A finished result is never
// changed: the pages that show it share it, so it lives as long as the last
// of them, and the next scan makes a result of its own.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "devices/device_record.h"
#include "service/update_item.h"
#include "service/update_package_list.h"

namespace quillary {

class hidden_updates_c;

// One device of a scan: its record and what the service offers for it.
struct offered_device : device_record {
  offered_device() = default;
  // A device before any query: nothing offered yet.
  explicit offered_device(device_record record) : device_record(std::move(record)) {}

  // The packages the update service offers (at most 500) and the two picks
  // among them; empty and null until an update query has run.
  std::vector<update_item> items;
  const update_item* best_item = nullptr;
  const update_item* latest_item = nullptr;
  bool best_is_update = false;
  bool latest_is_update = false;
  // The offers the user hid for this device, set aside before the picks,
  // each with the place it had among the offers.
  std::vector<update_item> hidden_items;
  std::vector<uint32_t> hidden_positions;
};

class scan_result_c {
 public:
  // The devices of a device scan, offered nothing yet; `total_devices` is
  // how many members of the device set the scan walked (the excluded and
  // the merged ones too).
  scan_result_c(device_list&& list, int32_t total_devices);
  scan_result_c(const scan_result_c&) = delete;
  scan_result_c() = default;  // empty, for with_hidden to fill
  scan_result_c& operator=(const scan_result_c&) = delete;

  int32_t total_devices() const { return total_devices_; }
  const std::vector<offered_device>& devices() const { return devices_; }
  // The same as the device tree's records (for the backup and restore pages).
  std::vector<const device_record*> device_records() const;
  // The rows of the download page for one pick; built by finish().
  const update_package_list_c& packages(offer_choice choice) const {
    return choice == offer_choice::latest ? latest_rows_ : best_rows_;
  }
  // The links installed before the query (setup.dat).
  const std::set<std::string>& installed_links() const { return installed_links_; }
  // How many offers of the reply the machine's policy blocked (dropped).
  size_t blocked_offers() const { return blocked_offers_; }
  // How many packages (distinct links) the user hid among the offers.
  size_t hidden_packages() const { return hidden_packages_; }
  int32_t os_version_code() const { return os_version_code_; }
  // The same scan with the offers the user hides now set aside (and those
  // no longer hidden back), picked and sorted anew: no query is asked.
  std::unique_ptr<scan_result_c> with_hidden(const hidden_updates_c& hidden) const;
  void* class_image_list() const { return class_image_list_; }

  // --- while the scan job makes it, before anyone else sees it
  std::vector<offered_device>& devices_to_fill() { return devices_; }
  void set_installed_links(std::set<std::string> links) { installed_links_ = std::move(links); }
  void set_class_image_list(void* list) { class_image_list_ = list; }
  void set_blocked_offers(size_t count) { blocked_offers_ = count; }
  void set_os_version_code(int32_t code) { os_version_code_ = code; }
  // The offers are in: build the package rows.
  void finish();

 private:
  // Records point into the class table: it lives as long as they do.
  std::vector<device_class_entry> classes_;
  std::vector<offered_device> devices_;
  std::set<std::string> installed_links_;
  update_package_list_c best_rows_;
  update_package_list_c latest_rows_;
  void* class_image_list_ = nullptr;
  int32_t total_devices_ = 0;
  size_t blocked_offers_ = 0;
  size_t hidden_packages_ = 0;
  int32_t os_version_code_ = 0;
};

using shared_scan_result = std::shared_ptr<const scan_result_c>;

class device_inventory_c;

// The first step of a scan, on its worker thread: the machine's devices in
// a new result. Null when the device scan fails (run_scan_job tells why).
std::unique_ptr<scan_result_c> scan_into_result(device_inventory_c& inventory, scan_progress& progress);

}  // namespace quillary
