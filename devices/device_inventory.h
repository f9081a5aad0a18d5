// The device inventory: the scan of the machine's devices over one device
// source (SetupAPI on Windows, a fixture natively). Each scan gives a list
// of its own; the inventory keeps none, so a list handed out stays as it
// was while the next scan runs.
#pragma once

#include <memory>

#include "app/outcome.h"
#include "devices/device_record.h"
#include "devices/device_source.h"

namespace quillary {

class device_inventory_c {
 public:
  explicit device_inventory_c(std::unique_ptr<device_source_i> source);

  // The body of the scan thread: builds the class table into `out` and
  // enumerates into it. Fails with error_code 16, 17 or 19 (what was
  // listed before an error stays in `out`).
  outcome scan_devices(scan_progress& progress, device_list& out);

  // The system's class image list (HIMAGELIST), or null.
  void* class_image_list() const { return source_->class_image_list(); }

 private:
  std::unique_ptr<device_source_i> source_;
};

// The system's own device source (SetupAPI); null in the native build.
std::unique_ptr<device_source_i> make_system_device_source();

}  // namespace quillary
