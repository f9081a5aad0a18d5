// The one scan of the program and of its command line: the device scan,
// then the update query and the matching on its devices. It runs on a
// worker thread (the command line's on its own) and gives a finished,
// immutable result, or the step that failed and why.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/outcome.h"
#include "devices/device_record.h"
#include "service/scan_result.h"
#include "service/update_request.h"

namespace quillary {

class device_inventory_c;
class update_client_c;

// What a scan tells the page that shows it while it runs. The page shares
// the record with the job's thread.
struct scan_job_progress : scan_progress {
  // Set once the device scan is done and the query is being asked.
  std::atomic<bool> querying{false};
  // The devices as the scan lists them: `current_name` points in here, so
  // they live as long as the record, until the finished result takes them
  // over (moved whole, the names stay where they are).
  device_list scanned;
};

struct scan_outcome {
  enum class step { none, devices, query };
  // Null unless the whole scan succeeded.
  shared_scan_result result;
  // Which step failed, and why.
  step failed = step::none;
  outcome failure;
  // The request as it was asked, with the status and error text of the
  // last server (for the failure message).
  update_request_info request;
};

// The request to ask, called between the two steps on the job's thread
// (the scan page waits there for the system summary, which names the
// computer's model).
using request_source = std::function<update_request_info()>;

scan_outcome run_scan_job(device_inventory_c& inventory, update_client_c& client, const request_source& request,
                          scan_job_progress& progress);

}  // namespace quillary
