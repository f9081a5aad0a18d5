#include "ui/pages/backup_page_win32.h"

#include <algorithm>
#include <memory>

#include "app/language.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/backup.h"
#include "platform/files.h"
#include "resources/resource_ids.h"
#include "ui/skin/message_window_win32.h"
#include "ui/window/post_to_window_win32.h"

namespace quillary {
namespace {

// What a backup works on: the scan's result shared, and its own copy of the
// rest, since the page may be rebuilt or the program end while the
// archives are written.
struct backup_job {
  shared_scan_result scan;
  driver_store_c store;
  std::vector<const device_record*> ticked;  // into the scan's devices
  std::u16string catalogue_file;
  std::u16string backup_folder;
  std::string today;

  int32_t run() {
    store.collect_driver_packages(scan->device_records());
    const std::vector<const device_record*>& request = ticked;
    backup_catalogue_c catalogue(catalogue_file, backup_folder);
    catalogue.load();
    backup_context context{store, catalogue, backup_folder, today};
    return backup_worker(context, request);
  }
};

}  // namespace

backup_window_c::backup_window_c(ui_context& context)
    : tree_page_c({bitmap_backup_settings_header, "btn_backup"}, context), job_(context.work) {}

void backup_window_c::add_group(const char* key, const std::vector<backup_tree_package>& packages, bool expand) {
  HTREEITEM group = insert_item(nullptr, text_of(key), -1, 0, true);
  for (const auto& package : packages) {
    HTREEITEM item = insert_item(group, package.text, package.image, reinterpret_cast<LPARAM>(package.first), true);
    for (const device_record* device : package.devices) {
      insert_item(item, device->description, class_image_of(*device), reinterpret_cast<LPARAM>(device), false);
    }
  }
  if (expand) TreeView_Expand(tree(), group, TVE_EXPAND);
}

void backup_window_c::fill_tree() {
  driver_store_c* store = context_.driver_store;
  clear_tree();
  plan_ = backup_tree_plan();
  if (!result_ || !store) return;
  store->collect_driver_packages(result_->device_records());
  plan_ = plan_backup_tree(store->packages());
  add_group("backup_available_drivers", plan_.available, true);
  if (!plan_.inbox.empty()) add_group("backup_inbox_drivers", plan_.inbox, false);
}

void backup_window_c::box_toggled(HTREEITEM item) {
  tree_adapter_c adapter(tree());
  propagate_backup_check(adapter, reinterpret_cast<check_tree_i::item>(item));
}

void backup_window_c::action_clicked() {
  if (job_.running()) return;
  tree_adapter_c adapter(tree());
  const std::vector<uintptr_t> ticked = ticked_packages(adapter);
  if (ticked.empty()) {
    show_message(handle(), text_of("backup_no_driver"), message_kind::warning);
    return;
  }
  driver_store_c* store = context_.driver_store;
  if (!result_ || !store) return;
  auto job = std::make_shared<backup_job>(
      backup_job{result_, *store, {}, platform::join_path(context_.system.snapshot().working_folder, u"backup.xml"),
                 context_.settings.values().backup_path, local_date_text()});
  // Only devices of the result the job holds: the tree's data is checked,
  // not trusted.
  const std::vector<const device_record*> known = result_->device_records();
  for (uintptr_t data : ticked) {
    const auto* device = reinterpret_cast<const device_record*>(data);
    if (std::find(known.begin(), known.end(), device) != known.end()) job->ticked.push_back(device);
  }
  if (!job_.start([job] { return job->run(); }, post_to_window(handle(), job_done_message))) {
    show_message(handle(), text_of("backup_failed"), message_kind::failure);
  }
}

void backup_window_c::job_done(uint64_t run) {
  const std::optional<int32_t> outcome = job_.take(run);
  if (!outcome) return;
  const int32_t result = *outcome;
  if (result < 0) {
    show_message(handle(), text_of("backup_failed"), message_kind::failure);
  } else {
    show_message(handle(), text_of("backup_completed"), message_kind::note);
  }
}

std::vector<info_line> backup_window_c::info_lines(LPARAM selected) const {
  const std::u16string inf_directory = context_.driver_store ? context_.driver_store->paths().inf_directory : u"";
  return backup_info_lines(reinterpret_cast<const device_record*>(selected), inf_directory);
}

bool backup_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == job_done_message) {
    job_done(static_cast<uint64_t>(wparam));
    return true;
  }
  return tree_page_c::handle_message(message, wparam, lparam, result);
}

}  // namespace quillary
