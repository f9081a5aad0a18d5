// Windows' own "Roll Back Driver": the driver a device had before its last
// update, which Windows kept, put back (DiRollbackDriver of newdev.dll,
// loaded at run time: Vista and later). It needs administrator rights, so
// only the process that installs calls it. The native build has none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillary {

enum class rollback_answer {
  rolled_back,       // every present device of the ID has its earlier driver again
  no_earlier_driver, // Windows kept none for a device (ERROR_NO_MORE_ITEMS)
  no_device,         // no present device has that ID
  unavailable,       // the system has no such routine (or not implemented)
  failed,            // the routine refused; `error` says why
};

struct rollback_result {
  rollback_answer answer = rollback_answer::unavailable;
  uint32_t error = 0;
  bool reboot_needed = false;
};

class driver_rollback_i {
 public:
  virtual ~driver_rollback_i() = default;
  // Rolls back every present device whose instance ID is `device_id`
  // followed by "\" and its instance part (the device ID the scan keeps).
  virtual rollback_result roll_back(const std::u16string& device_id) = 0;
};

// The system's own; on the native build one that answers `unavailable`.
std::unique_ptr<driver_rollback_i> system_driver_rollback();

const char* rollback_answer_name(rollback_answer answer);

}  // namespace quillary
