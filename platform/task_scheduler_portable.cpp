#include "platform/task_scheduler.h"

namespace quillary::platform {
namespace {

class no_scheduler_c : public task_scheduler_i {
 public:
  bool create_task(const scheduled_task&) override { return false; }
  bool set_trigger_flags(const std::u16string&, uint32_t) override { return false; }
  bool edit_task(const std::u16string&, void*) override { return false; }
  bool read_task(const std::u16string&, scheduled_task&) override { return false; }
};

}  // namespace

task_scheduler_i& system_task_scheduler() {
  static no_scheduler_c scheduler;
  return scheduler;
}

}  // namespace quillary::platform
