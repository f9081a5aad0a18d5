#include "platform/task_scheduler.h"

namespace quillary {

bool memory_task_scheduler_c::create_task(const scheduled_task& task) {
  if (refuse_create || tasks_.count(task.name)) return false;
  // The system scheduler refuses start times it cannot represent.
  if (task.trigger.start_hour > 23 || task.trigger.start_minute > 59) return false;
  tasks_[task.name] = task;
  return true;
}

bool memory_task_scheduler_c::set_trigger_flags(const std::u16string& name, uint32_t flags) {
  const auto it = tasks_.find(name);
  if (it == tasks_.end()) return false;
  it->second.trigger.flags = flags;
  return true;
}

bool memory_task_scheduler_c::edit_task(const std::u16string& name, void*) {
  if (!tasks_.count(name)) return false;
  ++edit_count;
  return true;
}

bool memory_task_scheduler_c::read_task(const std::u16string& name, scheduled_task& out) {
  const auto it = tasks_.find(name);
  if (it == tasks_.end()) return false;
  out = it->second;
  return true;
}

}  // namespace quillary
