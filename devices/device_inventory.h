// The device inventory: the device list of the last scan, the class table
// and the class image list. One long-lived object; every other part reaches
// the device list through it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/device_record.h"
#include "devices/device_source.h"

namespace quillary {

class device_inventory_c {
 public:
  explicit device_inventory_c(std::unique_ptr<device_source_i> source);

  // The body of the scan thread: empties the list, builds the class table
  // and enumerates. 0, or -1 with last error 16, 17 or 19.
  int scan_devices(scan_progress& progress);

  // The records in place; null and 0 when the list is empty. Valid until
  // the next scan begins.
  void get_devices(device_record*& first, size_t& count);
  device_record* find_device(const std::u16string& device_id);
  const device_class_entry* find_class_entry(const device_record& record) const;
  void* class_image_list() const { return source_->class_image_list(); }

  const std::vector<device_record>& devices() const { return devices_; }
  std::vector<device_record>& devices() { return devices_; }
  const std::vector<device_class_entry>& classes() const { return classes_; }

 private:
  std::unique_ptr<device_source_i> source_;
  std::vector<device_record> devices_;
  std::vector<device_class_entry> classes_;
};

class update_client_c;

// The process-wide inventory of the program (Windows start-up): the
// inventory over the system's device source with its update client (whose
// first transfer makes the transfer library's global state), which asks
// `servers` in turn. 0, or -1 when they cannot be made.
int init_device_inventory(std::vector<std::string> servers);
// The reverse, at exit: the client (and its transfer object) before the
// transfer library's state, then the inventory; nothing while a worker
// thread (a download, a scan) may still use them.
void release_device_inventory(bool workers_ended = true);
device_inventory_c* device_inventory();
update_client_c* update_client();

// The system's own device source (SetupAPI); null in the native build.
std::unique_ptr<device_source_i> make_system_device_source();

}  // namespace quillary
