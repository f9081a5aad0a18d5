#include "ui/pages/backup_tree.h"

#include <algorithm>

#include "platform/text.h"

namespace quillary {
namespace {

template <typename T, typename Text>
void sort_by_text(std::vector<T>& items, Text text) {
  std::stable_sort(items.begin(), items.end(),
                   [&](const T& a, const T& b) { return compare_for_display(text(a), text(b)) < 0; });
}

std::u16string inf_full_path(const std::u16string& directory, const std::u16string& name) {
  if (name.empty()) return u"";
  return directory + u"\\" + name;
}

}  // namespace

int32_t class_image_of(const device_record& device) {
  return device.class_entry ? device.class_entry->image_index : 0;
}

std::u16string class_text_of(const device_record& device) {
  if (device.class_entry && !device.class_entry->description.empty()) return device.class_entry->description;
  // A class the system could not describe still has a name.
  return device.class_name.empty() ? device.description : device.class_name;
}

backup_tree_plan plan_backup_tree(const std::vector<driver_package>& packages) {
  backup_tree_plan plan;
  for (const auto& package : packages) {
    if (package.devices.empty() || !package.devices.front()) continue;
    const device_record* first = package.devices.front();
    backup_tree_package item{class_text_of(*first), class_image_of(*first), first, package.devices};
    (package.inbox ? plan.inbox : plan.available).push_back(std::move(item));
  }
  const auto text = [](const backup_tree_package& p) -> const std::u16string& { return p.text; };
  sort_by_text(plan.available, text);
  sort_by_text(plan.inbox, text);
  return plan;
}

std::vector<restore_tree_archive> plan_restore_tree(const std::vector<catalogue_entry>& entries,
                                                    const std::vector<const device_record*>& live_devices) {
  std::vector<restore_tree_archive> plan;
  for (const auto& entry : entries) {
    restore_tree_archive archive;
    archive.node.archive = from_ansi(entry.file);
    archive.node.text = archive.node.archive;
    for (const auto& device : entry.devices) {
      restore_tree_node child{archive.node.archive, &device, device.desc, 0};
      const auto live = std::find_if(live_devices.begin(), live_devices.end(),
                                     [&](const device_record* d) { return equal_ignore_case(d->device_id, device.id); });
      if (live != live_devices.end()) {
        child.text = (*live)->description;
        child.image = class_image_of(**live);
      }
      archive.devices.push_back(std::move(child));
    }
    if (!archive.devices.empty()) {
      archive.node.device = archive.devices.front().device;
      archive.node.image = archive.devices.front().image;
    }
    plan.push_back(std::move(archive));
  }
  sort_by_text(plan, [](const restore_tree_archive& a) -> const std::u16string& { return a.node.text; });
  return plan;
}

void propagate_backup_check(check_tree_i& tree, check_tree_i::item changed) {
  if (!changed) return;
  const bool on = tree.checked(changed);
  if (tree.data(changed) != 0) {
    // A package: only unticking reaches its group.
    if (!on) {
      if (const auto group = tree.parent_of(changed)) tree.set_checked(group, false);
    }
    return;
  }
  for (auto child = tree.first_child(changed); child; child = tree.next_sibling(child)) tree.set_checked(child, on);
}

void keep_single_archive(check_tree_i& tree, check_tree_i::item changed) {
  if (!changed || !tree.checked(changed)) return;
  for (auto root = tree.first_root(); root; root = tree.next_sibling(root)) {
    if (root != changed) tree.set_checked(root, false);
  }
}

std::vector<uintptr_t> ticked_packages(check_tree_i& tree) {
  std::vector<uintptr_t> ticked;
  for (auto group = tree.first_root(); group; group = tree.next_sibling(group)) {
    for (auto package = tree.first_child(group); package; package = tree.next_sibling(package)) {
      if (tree.checked(package) && tree.data(package)) ticked.push_back(tree.data(package));
    }
  }
  return ticked;
}

uintptr_t first_ticked_root(check_tree_i& tree) {
  for (auto root = tree.first_root(); root; root = tree.next_sibling(root)) {
    if (tree.checked(root)) return tree.data(root);
  }
  return 0;
}

std::vector<info_line> backup_info_lines(const device_record* d, const std::u16string& inf_directory) {
  return {
      {"device_detail_list_device_id", d ? d->device_id : u""},
      {"device_detail_list_device_desc", d ? d->description : u""},
      {"device_detail_list_manufacturer", d ? d->provider_name : u""},
      {"device_detail_list_inf_name", d ? inf_full_path(inf_directory, d->inf_path) : u""},
      {"device_detail_list_inf_date", d ? d->driver_date : u""},
      {"device_detail_list_inf_version", d ? d->driver_version : u""},
  };
}

std::vector<info_line> restore_info_lines(const catalogue_device* d, const std::u16string& inf_directory) {
  return {
      {"backup_date", d ? d->backup_date : u""},
      {"device_detail_list_device_id", d ? d->id : u""},
      {"device_detail_list_device_desc", d ? d->desc : u""},
      {"device_detail_list_manufacturer", d ? d->manu : u""},
      {"device_detail_list_inf_name", d ? inf_full_path(inf_directory, d->name) : u""},
      {"device_detail_list_inf_date", d ? d->date : u""},
      {"device_detail_list_inf_version", d ? d->version : u""},
  };
}

std::u16string label_text(const std::u16string& text) { return text + u":"; }

tree_page_layout layout_tree_page(int page_height) {
  tree_page_layout layout;
  layout.tree_height = std::max(0, page_height - 25);
  return layout;
}

}  // namespace quillary
