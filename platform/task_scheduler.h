// Scheduled tasks as the weekly scan needs them: one task with one weekly
// trigger, created once, switched on and off, shown in the system's own
// property dialog. Windows: Task Scheduler 1.0 (a .job file per task).
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace quillary {

struct weekly_trigger {
  static constexpr uint32_t flag_disabled = 4;  // TASK_TRIGGER_FLAG_DISABLED

  uint16_t begin_year = 0;
  uint16_t begin_month = 0;  // 1..12
  uint16_t begin_day = 0;
  uint16_t start_hour = 0;
  uint16_t start_minute = 0;
  uint16_t days_of_week = 0;  // bit 0 Sunday .. bit 6 Saturday
  uint16_t weeks_interval = 1;
  uint32_t flags = 0;  // 0: enabled

  bool operator==(const weekly_trigger&) const = default;
};

struct scheduled_task {
  std::u16string name;
  std::u16string application;
  std::u16string parameters;
  std::u16string comment;
  uint32_t flags = 0;
  weekly_trigger trigger;
};

class task_scheduler_i {
 public:
  virtual ~task_scheduler_i() = default;
  // Creates and saves the task with its trigger. False when a task of that
  // name exists already (it is left as it is) or any step fails; nothing is
  // saved then.
  virtual bool create_task(const scheduled_task& task) = 0;
  // Sets the flags of the task's first trigger and saves the task.
  virtual bool set_trigger_flags(const std::u16string& name, uint32_t flags) = 0;
  // Opens the system's property dialog of the task, owned by `owner_window`.
  virtual bool edit_task(const std::u16string& name, void* owner_window) = 0;
  // Reads the task back as the scheduler holds it. False when missing.
  virtual bool read_task(const std::u16string& name, scheduled_task& out) = 0;
};

namespace platform {
// The system's scheduler. The native build has none: every call fails, as
// on a system where the task service is not available.
task_scheduler_i& system_task_scheduler();
}  // namespace platform

// Tasks held in memory, for tests.
class memory_task_scheduler_c : public task_scheduler_i {
 public:
  bool create_task(const scheduled_task& task) override;
  bool set_trigger_flags(const std::u16string& name, uint32_t flags) override;
  bool edit_task(const std::u16string& name, void* owner_window) override;
  bool read_task(const std::u16string& name, scheduled_task& out) override;

  int edit_count = 0;
  // While set, create_task fails the way a refused trigger does.
  bool refuse_create = false;

 private:
  std::map<std::u16string, scheduled_task> tasks_;
};

}  // namespace quillary
