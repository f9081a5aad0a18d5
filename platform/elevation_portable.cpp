#include "platform/elevation.h"

namespace quillary::platform {
namespace {

// Nothing is installed natively: the process counts as an administrator,
// and there is no prompt to start anything else through.
class portable_elevator_c : public elevator_i {
 public:
  process_rights rights() override { return process_rights::administrator; }
  elevation_answer run_elevated(const std::u16string&, const std::u16string&, uintptr_t, uint32_t&) override {
    return elevation_answer::failed;
  }
};

}  // namespace

elevator_i& system_elevator() {
  static portable_elevator_c elevator;
  return elevator;
}

}  // namespace quillary::platform
