#include "platform/driver_rollback.h"

namespace quillary {
namespace {

class no_rollback_c : public driver_rollback_i {
 public:
  rollback_result roll_back(const std::u16string&) override { return {}; }
};

}  // namespace

std::unique_ptr<driver_rollback_i> system_driver_rollback() { return std::make_unique<no_rollback_c>(); }

}  // namespace quillary
