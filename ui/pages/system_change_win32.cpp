#include "ui/pages/system_change_win32.h"

#include "app/program_folder.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/backup_catalogue.h"
#include "download/download_session.h"
#include "platform/files.h"
#include "ui/ui_context.h"
#include "ui/window_messages.h"

namespace quillary {

batch_runner page_batch_runner(HWND owner, const ui_context& context) {
  batch_runner runner;
  runner.elevator = &context.elevator;
  // The companion from the program's own folder, never one found elsewhere.
  runner.companion.program = program_folder() + u"\\quillary-cli.exe";
  runner.companion.work_folder = platform::temp_folder();
  runner.owner = reinterpret_cast<uintptr_t>(owner ? GetAncestor(owner, GA_ROOT) : nullptr);
  // Packages are checked against the keys the downloads were checked
  // against, once more just before they are extracted.
  runner.trust = context.downloads.trust();
  return runner;
}

std::shared_ptr<install_backup_step> install_backup_step_for(const ui_context& context, HWND page) {
  if (!context.driver_store) return nullptr;
  auto step = std::make_shared<install_backup_step>(install_backup_step{
      *context.driver_store,
      {platform::join_path(context.system.snapshot().working_folder, u"backup.xml"),
       context.settings.values().backup_path, local_date_text()},
      [page](const install_job&, const install_backup_outcome&) {
        return SendMessageW(page, UM_ASK_INSTALL_WITHOUT_BACKUP, 0, 0) == 1;
      }});
  return step;
}

std::function<void()> installations_ended_notice(HWND page) {
  return [page] { PostMessageW(page, UM_INSTALLATIONS_ENDED, 0, 0); };
}

}  // namespace quillary
