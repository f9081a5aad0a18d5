#include "app/scan_task.h"

#include "app/system_info.h"

namespace quillary {
namespace {

int days_in_month(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[(month - 1) % 12];
}

local_time one_minute_later(local_time t) {
  if (++t.minute < 60) return t;
  t.minute = 0;
  if (++t.hour < 24) return t;
  t.hour = 0;
  t.weekday = (t.weekday + 1) % 7;
  if (++t.day <= days_in_month(t.year, t.month)) return t;
  t.day = 1;
  if (++t.month <= 12) return t;
  t.month = 1;
  ++t.year;
  return t;
}

}  // namespace

weekly_trigger weekly_trigger_from(const local_time& now) {
  const local_time start = one_minute_later(now);
  weekly_trigger trigger;
  trigger.begin_year = static_cast<uint16_t>(start.year);
  trigger.begin_month = static_cast<uint16_t>(start.month);
  trigger.begin_day = static_cast<uint16_t>(start.day);
  trigger.start_hour = static_cast<uint16_t>(start.hour);
  trigger.start_minute = static_cast<uint16_t>(start.minute);
  trigger.days_of_week = static_cast<uint16_t>(1u << start.weekday);
  trigger.weeks_interval = 1;
  trigger.flags = 0;
  return trigger;
}

scheduled_task scan_task_definition(const std::u16string& module_path, const local_time& now) {
  scheduled_task task;
  task.name = scan_task_name;
  task.application = module_path;
  task.parameters = scan_task_parameters;
  task.comment = scan_task_comment;
  task.flags = scan_task_flags;
  task.trigger = weekly_trigger_from(now);
  return task;
}

bool create_scan_task(task_scheduler_i& scheduler, const std::u16string& module_path,
                      const local_time& now) {
  return scheduler.create_task(scan_task_definition(module_path, now));
}

bool enable_scan_task(task_scheduler_i& scheduler, bool enabled) {
  // Any other trigger flag is cleared as well.
  return scheduler.set_trigger_flags(scan_task_name, enabled ? 0 : weekly_trigger::flag_disabled);
}

bool edit_scan_task(task_scheduler_i& scheduler, void* owner_window) {
  return scheduler.edit_task(scan_task_name, owner_window);
}

bool create_scan_task(const std::u16string& module_path) {
  return create_scan_task(platform::system_task_scheduler(), module_path,
                          platform::current_local_time());
}

bool enable_scan_task(bool enabled) {
  return enable_scan_task(platform::system_task_scheduler(), enabled);
}

bool edit_scan_task(void* owner_window) {
  return edit_scan_task(platform::system_task_scheduler(), owner_window);
}

}  // namespace quillary
