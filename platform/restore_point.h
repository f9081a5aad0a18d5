// System Restore's restore points: SRSetRestorePointW of srclient.dll on
// Windows, loaded at run time (a system without System Restore still runs
// the program). The native build has no System Restore. Tests count the
// requests through their own implementation.
#pragma once

#include <cstdint>
#include <string>

namespace quillary {

// What the system answered to a request for a restore point.
struct restore_point_answer {
  bool supported = false;  // the system has System Restore at all
  bool made = false;
  uint32_t status = 0;          // STATEMGRSTATUS.nStatus when none was made
  int64_t sequence_number = 0;  // the point's number, to end the change with
};

class restore_points_i {
 public:
  virtual ~restore_points_i() = default;
  // Begins a system change of the kind "device driver install": System
  // Restore takes its snapshot now, under this description.
  virtual restore_point_answer begin_driver_change(const std::u16string& description) = 0;
  // The change begun under `sequence_number` is complete.
  virtual void end_change(int64_t sequence_number) = 0;
};

namespace platform {
restore_points_i& system_restore_points();
}  // namespace platform

}  // namespace quillary
