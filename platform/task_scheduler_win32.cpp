// Task Scheduler 1.0: each task is a .job file in the system's Tasks folder.
#include "platform/task_scheduler.h"

#include <mstask.h>

#include "platform/win32.h"

namespace quillary::platform {
namespace {

bool open_scheduler(com_ptr<ITaskScheduler>& scheduler) {
  return SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskScheduler, scheduler.out_void()));
}

bool open_task(const std::u16string& name, com_ptr<ITask>& task) {
  com_ptr<ITaskScheduler> scheduler;
  return open_scheduler(scheduler) &&
         SUCCEEDED(scheduler->Activate(wide(name), IID_ITask, task.out_unknown()));
}

bool save(ITask* task) {
  com_ptr<IPersistFile> file;
  return SUCCEEDED(task->QueryInterface(IID_IPersistFile, file.out_void())) &&
         SUCCEEDED(file->Save(nullptr, TRUE));
}

// "COMPUTER\user": the task runs as the interactive user, only while logged on.
std::wstring account_name() {
  wchar_t computer[300] = {}, user[300] = {};
  DWORD size = 300;
  GetComputerNameW(computer, &size);
  size = 300;
  GetUserNameW(user, &size);
  return std::wstring(computer) + L"\\" + user;
}

TASK_TRIGGER to_system(const weekly_trigger& trigger) {
  TASK_TRIGGER out{};
  out.cbTriggerSize = sizeof(TASK_TRIGGER);
  out.wBeginYear = trigger.begin_year;
  out.wBeginMonth = trigger.begin_month;
  out.wBeginDay = trigger.begin_day;
  out.wStartHour = trigger.start_hour;
  out.wStartMinute = trigger.start_minute;
  out.rgFlags = trigger.flags;
  out.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
  out.Type.Weekly.WeeksInterval = trigger.weeks_interval;
  out.Type.Weekly.rgfDaysOfTheWeek = trigger.days_of_week;
  return out;
}

bool read_first_trigger(ITask* task, TASK_TRIGGER& out) {
  com_ptr<ITaskTrigger> trigger;
  out = TASK_TRIGGER{};
  out.cbTriggerSize = sizeof(TASK_TRIGGER);
  return SUCCEEDED(task->GetTrigger(0, trigger.out())) && SUCCEEDED(trigger->GetTrigger(&out));
}

class task_scheduler_c : public task_scheduler_i {
 public:
  bool create_task(const scheduled_task& definition) override {
    com_ptr<ITaskScheduler> scheduler;
    com_ptr<ITask> task;
    if (!open_scheduler(scheduler)) return false;
    // Windows refuses a new work item under an existing name, Wine replaces
    // the old one; either way the user's existing task must stay as it is.
    com_ptr<ITask> existing;
    if (SUCCEEDED(scheduler->Activate(wide(definition.name), IID_ITask, existing.out_unknown()))) {
      return false;
    }
    if (FAILED(scheduler->NewWorkItem(wide(definition.name), CLSID_CTask, IID_ITask,
                                      task.out_unknown()))) {
      return false;
    }
    if (FAILED(task->SetApplicationName(wide(definition.application))) ||
        FAILED(task->SetComment(wide(definition.comment))) ||
        FAILED(task->SetParameters(wide(definition.parameters))) ||
        FAILED(task->SetFlags(definition.flags)) ||
        FAILED(task->SetAccountInformation(account_name().c_str(), nullptr))) {
      return false;
    }
    com_ptr<ITaskTrigger> trigger;
    WORD index = 0;
    TASK_TRIGGER record = to_system(definition.trigger);
    if (FAILED(task->CreateTrigger(&index, trigger.out())) || FAILED(trigger->SetTrigger(&record))) {
      return false;
    }
    return save(task.get());
  }

  bool set_trigger_flags(const std::u16string& name, uint32_t flags) override {
    com_ptr<ITask> task;
    com_ptr<ITaskTrigger> trigger;
    TASK_TRIGGER record{};
    record.cbTriggerSize = sizeof(TASK_TRIGGER);
    if (!open_task(name, task) || FAILED(task->GetTrigger(0, trigger.out())) ||
        FAILED(trigger->GetTrigger(&record))) {
      return false;
    }
    record.rgFlags = flags;
    return SUCCEEDED(trigger->SetTrigger(&record)) && save(task.get());
  }

  bool edit_task(const std::u16string& name, void* owner_window) override {
    com_ptr<ITask> task;
    return open_task(name, task) &&
           SUCCEEDED(task->EditWorkItem(static_cast<HWND>(owner_window), 0));
  }

  bool read_task(const std::u16string& name, scheduled_task& out) override {
    com_ptr<ITask> task;
    if (!open_task(name, task)) return false;
    co_string application, parameters, comment;
    DWORD flags = 0;
    TASK_TRIGGER trigger{};
    if (FAILED(task->GetApplicationName(application.out())) ||
        FAILED(task->GetParameters(parameters.out())) || FAILED(task->GetComment(comment.out())) ||
        FAILED(task->GetFlags(&flags)) || !read_first_trigger(task.get(), trigger) ||
        trigger.TriggerType != TASK_TIME_TRIGGER_WEEKLY) {
      return false;
    }
    out.name = name;
    out.application = application.text();
    out.parameters = parameters.text();
    out.comment = comment.text();
    out.flags = flags;
    out.trigger = weekly_trigger{trigger.wBeginYear,  trigger.wBeginMonth,
                                 trigger.wBeginDay,   trigger.wStartHour,
                                 trigger.wStartMinute, trigger.Type.Weekly.rgfDaysOfTheWeek,
                                 trigger.Type.Weekly.WeeksInterval, trigger.rgFlags};
    return true;
  }
};

}  // namespace

task_scheduler_i& system_task_scheduler() {
  static task_scheduler_c scheduler;
  return scheduler;
}

}  // namespace quillary::platform
