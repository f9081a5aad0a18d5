#include "ui/pages/backup_page_win32.h"

#include <memory>

#include "app/language.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/backup.h"
#include "devices/device_inventory.h"
#include "platform/files.h"
#include "resources/resource_ids.h"
#include "ui/skin/message_window_win32.h"

namespace quillary {
namespace {

// What a backup works on, its own copy of all of it: the page may be
// rebuilt, a new scan may empty the device list, or the program may end
// while the archives are written.
struct backup_job {
  std::vector<device_record> devices;
  driver_store_c store;
  std::vector<size_t> ticked;  // indexes into devices
  std::u16string catalogue_file;
  std::u16string backup_folder;
  std::string today;

  int32_t run() {
    store.collect_driver_packages(devices);
    std::vector<device_record*> request;
    for (size_t index : ticked) request.push_back(&devices[index]);
    backup_catalogue_c catalogue(catalogue_file, backup_folder);
    catalogue.load();
    backup_context context{store, catalogue, backup_folder, today};
    return backup_worker(context, request);
  }
};

}  // namespace

backup_window_c::backup_window_c() : tree_page_c({bitmap_backup_settings_header, "btn_backup"}) {}

void backup_window_c::clear_results() {
  plan_ = backup_tree_plan();
  if (tree()) {
    forget_selection();
    TreeView_DeleteAllItems(tree());
  }
}

void backup_window_c::add_group(const char* key, const std::vector<backup_tree_package>& packages, bool expand) {
  HTREEITEM group = insert_item(nullptr, text_of(key), -1, 0, true);
  for (const auto& package : packages) {
    HTREEITEM item = insert_item(group, package.text, package.image, reinterpret_cast<LPARAM>(package.first), true);
    for (device_record* device : package.devices) {
      insert_item(item, device->description, class_image_of(*device), reinterpret_cast<LPARAM>(device), false);
    }
  }
  if (expand) TreeView_Expand(tree(), group, TVE_EXPAND);
}

void backup_window_c::fill_tree() {
  device_inventory_c* inventory = device_inventory();
  driver_store_c* store = driver_store();
  clear_tree();
  plan_ = backup_tree_plan();
  if (!inventory || !store) return;
  store->collect_driver_packages(inventory->devices());
  plan_ = plan_backup_tree(store->packages());
  add_group("backup_available_drivers", plan_.available, true);
  if (!plan_.inbox.empty()) add_group("backup_inbox_drivers", plan_.inbox, false);
}

void backup_window_c::box_toggled(HTREEITEM item) {
  tree_adapter_c adapter(tree());
  propagate_backup_check(adapter, reinterpret_cast<check_tree_i::item>(item));
}

void backup_window_c::action_clicked() {
  if (worker_.started()) return;
  tree_adapter_c adapter(tree());
  const std::vector<uintptr_t> ticked = ticked_packages(adapter);
  if (ticked.empty()) {
    show_message(handle(), text_of("backup_no_driver"), 1);
    return;
  }
  device_inventory_c* inventory = device_inventory();
  driver_store_c* store = driver_store();
  if (!inventory || !store) return;
  auto job = std::make_shared<backup_job>(backup_job{inventory->devices(), *store, {},
                                                     platform::join_path(system_info().working_folder, u"backup.xml"),
                                                     settings().backup_path, local_date_text()});
  const device_record* first = inventory->devices().data();
  const device_record* end = first + inventory->devices().size();
  for (uintptr_t data : ticked) {
    const auto* device = reinterpret_cast<const device_record*>(data);
    if (device >= first && device < end) job->ticked.push_back(static_cast<size_t>(device - first));
  }
  SetTimer(handle(), poll_timer_id, poll_ms, nullptr);
  if (!worker_.start([job] { return job->run(); })) {
    KillTimer(handle(), poll_timer_id);
    show_message(handle(), text_of("backup_failed"), 2);
  }
}

void backup_window_c::poll() {
  RedrawWindow(handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  int32_t result = 0;
  if (!worker_.collect(result)) return;
  KillTimer(handle(), poll_timer_id);
  if (result < 0) {
    show_message(handle(), text_of("backup_failed"), 2);
  } else {
    show_message(handle(), text_of("backup_completed"), 0);
  }
}

std::vector<info_line> backup_window_c::info_lines(LPARAM selected) const {
  const std::u16string inf_directory = driver_store() ? driver_store()->paths().inf_directory : u"";
  return backup_info_lines(reinterpret_cast<const device_record*>(selected), inf_directory);
}

bool backup_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_TIMER && wparam == poll_timer_id) {
    poll();
    return true;
  }
  return tree_page_c::handle_message(message, wparam, lparam, result);
}

}  // namespace quillary
