#include "service/scan_job.h"

#include "app/last_error.h"
#include "devices/device_inventory.h"
#include "service/update_client.h"

namespace quillary {

scan_outcome run_scan_job(device_inventory_c& inventory, update_client_c& client, const request_source& request,
                          scan_job_progress& progress) {
  scan_outcome outcome;
  if (inventory.scan_devices(progress, progress.scanned) != 0) {
    outcome.failed = scan_outcome::step::devices;
    outcome.error_code = last_error();
    return outcome;
  }
  auto result = std::make_unique<scan_result_c>(std::move(progress.scanned), progress.total.load());
  result->set_class_image_list(inventory.class_image_list());
  outcome.request = request();
  progress.querying = true;
  if (!client.query_updates(*result, outcome.request)) {
    outcome.failed = scan_outcome::step::query;
    outcome.error_code = outcome.request.error_code;
    return outcome;
  }
  outcome.result = std::move(result);
  return outcome;
}

}  // namespace quillary
