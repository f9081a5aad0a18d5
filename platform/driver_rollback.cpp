#include "platform/driver_rollback.h"

namespace quillary {

const char* rollback_answer_name(rollback_answer answer) {
  switch (answer) {
    case rollback_answer::rolled_back: return "rolled_back";
    case rollback_answer::no_earlier_driver: return "no_earlier_driver";
    case rollback_answer::no_device: return "no_device";
    case rollback_answer::unavailable: return "unavailable";
    case rollback_answer::failed: return "failed";
  }
  return "failed";
}

}  // namespace quillary
