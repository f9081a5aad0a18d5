// The native build runs on Linux, which has no System Restore.
#include "platform/restore_point.h"

namespace quillary::platform {
namespace {

class no_restore_points_c : public restore_points_i {
 public:
  restore_point_answer begin_driver_change(const std::u16string&) override { return {}; }
  void end_change(int64_t) override {}
};

}  // namespace

restore_points_i& system_restore_points() {
  static no_restore_points_c none;
  return none;
}

}  // namespace quillary::platform
