// The weekly scan: a scheduled task that starts the program with
// "--autorun" once a week, created, switched on and off, and edited by the
// settings dialog.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/task_scheduler.h"

namespace quillary {

inline constexpr char16_t scan_task_name[] = u"Quillary";
inline constexpr char16_t scan_task_parameters[] = u"--autorun";
inline constexpr char16_t scan_task_comment[] =
    u"Quillary automatically scan, keep your drivers up to date.";
// Interactive; don't start on batteries; stop when going on batteries; run
// only while the user is logged on.
constexpr uint32_t scan_task_flags = 0x20C1;

// A weekly trigger on the weekday of its first run, one minute from `now`.
// Minute 59 carries into the next hour, and the last hour into the next day
// (and month and year), so the start time is always one the scheduler takes.
weekly_trigger weekly_trigger_from(const local_time& now);

scheduled_task scan_task_definition(const std::u16string& module_path, const local_time& now);

// Over a given scheduler (tests).
bool create_scan_task(task_scheduler_i& scheduler, const std::u16string& module_path,
                      const local_time& now);
bool enable_scan_task(task_scheduler_i& scheduler, bool enabled);
bool edit_scan_task(task_scheduler_i& scheduler, void* owner_window);

// Over the system's scheduler, with the program's own path and the local time.
bool create_scan_task(const std::u16string& module_path);
bool enable_scan_task(bool enabled);
bool edit_scan_task(void* owner_window);

}  // namespace quillary
