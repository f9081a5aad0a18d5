// System Restore's restore points: SRSetRestorePointW of srclient.dll on
// Windows, loaded at run time (a system without System Restore still runs
// the program), and WMI's SystemRestore class for the points that exist.
// The native build has no System Restore. Tests count the requests through
// their own implementation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillary {

class wmi_connection_i;

// What the system answered to a request for a restore point.
struct restore_point_answer {
  bool supported = false;  // the system has System Restore at all
  // SRSetRestorePointW succeeded. Since Windows 8 that is no proof of a new
  // point: within a day of the last one (by default) Windows makes none and
  // still succeeds, with the earlier point's number.
  bool made = false;
  uint32_t status = 0;          // STATEMGRSTATUS.nStatus when none was made
  int64_t sequence_number = 0;  // the point's number, to end the change with
  // The newest restore point before asking, to tell a new point (a greater
  // number) from one Windows kept: whether it could be read, and its number
  // (0 when there was none).
  bool previous_known = false;
  int64_t previous_sequence_number = 0;
  // When the answered point was made, as "2026-12-09T07:27:00Z"; empty when
  // it could not be read.
  std::u16string created;
};

class restore_points_i {
 public:
  virtual ~restore_points_i() = default;
  // Begins a system change of the kind "device driver install": System
  // Restore takes its snapshot now, under this description, unless it
  // keeps an earlier point instead (see `restore_point_answer`).
  virtual restore_point_answer begin_driver_change(const std::u16string& description) = 0;
  // The change begun under `sequence_number` is complete.
  virtual void end_change(int64_t sequence_number) = 0;
};

// One request as System Restore answers it, with what WMI's SystemRestore
// class (ROOT\DEFAULT; null when it cannot be reached) says around it: the
// newest point before `begin` asks (which returns whether SRSetRestorePointW
// succeeded, with the point's number or the status), and when the answered
// point was made. Sets everything but `supported`.
using begin_restore_point_fn = std::function<bool(int64_t& sequence_number, uint32_t& status)>;
restore_point_answer ask_for_restore_point(wmi_connection_i* points, const begin_restore_point_fn& begin);

namespace platform {
restore_points_i& system_restore_points();
}  // namespace platform

}  // namespace quillary
