#include "ui/pages/restore_page_win32.h"

#include <memory>

#include "app/language.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/driver_store.h"
#include "backup/installation_batch.h"
#include "download/restore_point_batch.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "platform/shell.h"
#include "resources/resource_ids.h"
#include "ui/pages/restore_point_notice.h"
#include "ui/pages/system_change_text.h"
#include "ui/pages/system_change_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/window/post_to_window_win32.h"

namespace quillary {

restore_window_c::restore_window_c(ui_context& context)
    : tree_page_c({bitmap_restore_settings_header, "btn_restore"}, context), job_(context.work) {}

void restore_window_c::fill_tree() {
  backup_catalogue_c catalogue(platform::join_path(context_.system.snapshot().working_folder, u"backup.xml"),
                               context_.settings.values().backup_path);
  catalogue.load();
  clear_tree();
  plan_.clear();
  entries_ = catalogue.entries();
  if (entries_.empty()) {
    PostMessageW(handle(), no_backup_message, 0, 0);
    return;
  }
  plan_ = plan_restore_tree(entries_, result_ ? result_->device_records() : std::vector<const device_record*>());
  for (const auto& archive : plan_) {
    HTREEITEM root = insert_item(nullptr, archive.node.text, archive.node.image,
                                 reinterpret_cast<LPARAM>(&archive.node), true);
    for (const auto& device : archive.devices) {
      insert_item(root, device.text, device.image, reinterpret_cast<LPARAM>(&device), false);
    }
  }
}

void restore_window_c::box_toggled(HTREEITEM item) {
  tree_adapter_c adapter(tree());
  keep_single_archive(adapter, reinterpret_cast<check_tree_i::item>(item));
}

void restore_window_c::action_clicked() {
  // One restore at a time.
  if (job_.running()) return;

  tree_adapter_c adapter(tree());
  const auto* node = reinterpret_cast<const restore_tree_node*>(first_ticked_root(adapter));
  if (!node) {
    show_message(handle(), text_of("restore_no_driver"), message_kind::warning);
    return;
  }
  batch_entry entry;
  entry.what = batch_entry::kind::backup_archive;
  entry.path = platform::join_path(context_.settings.values().backup_path, node->archive);
  entry.name = platform::file_name_part(node->archive);
  // Under UAC the restore runs in the elevated companion; only a user who
  // cannot get the rights at all is turned away.
  const batch_runner runner = page_batch_runner(handle(), context_);
  if (runner.elevator->rights() == process_rights::cannot_elevate) {
    show_message(handle(), text_of("download_setup_require"), message_kind::failure);
    return;
  }
  shell_i* shell = &context_.shell;
  const installer_system system = installer_system_of(context_.system.snapshot());
  job_.start(
      [entry, runner, shell, system] {
        restore_point_batch_c restore_points(platform::system_restore_points());
        const local_installation here{shell, &restore_points, u"", nullptr, nullptr, system};
        return run_batch({entry}, *runner.elevator, runner.companion, here, runner.owner).outcomes.front();
      },
      post_to_window(handle(), job_done_message));
}

void restore_window_c::job_done(uint64_t run) {
  const std::optional<entry_outcome> outcome = job_.take(run);
  if (!outcome) return;
  const int result = outcome->result;
  // Nothing was started (the prompt declined, say): why. Something was:
  // whether System Restore can undo it.
  if (const char* key = system_change_failure_key(result)) {
    show_message(handle(), text_of(key), message_kind::failure);
    return;
  }
  const std::u16string notice = restore_point_notice(outcome->report.restore_point);
  if (!notice.empty()) show_message(handle(), notice, message_kind::warning);
}

std::vector<info_line> restore_window_c::info_lines(LPARAM selected) const {
  const std::u16string inf_directory = context_.driver_store ? context_.driver_store->paths().inf_directory : u"";
  const auto* node = reinterpret_cast<const restore_tree_node*>(selected);
  return restore_info_lines(node ? node->device : nullptr, inf_directory);
}

bool restore_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == job_done_message) {
    job_done(static_cast<uint64_t>(wparam));
    return true;
  }
  if (message == no_backup_message) {
    if (IsWindowVisible(handle())) show_message(handle(), text_of("restore_no_backup"), message_kind::note);
    return true;
  }
  return tree_page_c::handle_message(message, wparam, lparam, result);
}

}  // namespace quillary
