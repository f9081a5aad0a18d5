#include "service/scan_job.h"

#include "devices/device_inventory.h"
#include "service/update_client.h"

namespace quillary {

scan_outcome run_scan_job(device_inventory_c& inventory, update_client_c& client, const request_source& request,
                          scan_job_progress& progress) {
  scan_outcome scan;
  scan.failure = inventory.scan_devices(progress, progress.scanned);
  if (!scan.failure) {
    scan.failed = scan_outcome::step::devices;
    return scan;
  }
  auto result = std::make_unique<scan_result_c>(std::move(progress.scanned), progress.total.load());
  result->set_class_image_list(inventory.class_image_list());
  scan.request = request();
  progress.querying = true;
  scan.failure = client.query_updates(*result, scan.request);
  if (!scan.failure) {
    scan.failed = scan_outcome::step::query;
    return scan;
  }
  scan.result = std::move(result);
  return scan;
}

}  // namespace quillary
