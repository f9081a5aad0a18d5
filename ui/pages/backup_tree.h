// What the backup and restore pages show in their trees and panels, apart
// from the tree control: which items, in which order, with which texts and
// pictures; the rules that tie the check boxes together; what the ticks ask
// for; and the lines of the information panel.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "backup/backup_catalogue.h"
#include "backup/driver_store.h"
#include "devices/device_record.h"

namespace quillary {

// --- The backup tree ------------------------------------------------------------

struct backup_tree_package {
  std::u16string text;   // the description of the first device's class
  int32_t image = 0;     // that class's picture
  const device_record* first;  // the item's data
  std::vector<const device_record*> devices;
};

// The two groups of the backup tree, each sorted by text. The inbox group
// is left out of the tree when it is empty; the available group is always
// there (and expanded).
struct backup_tree_plan {
  std::vector<backup_tree_package> available;
  std::vector<backup_tree_package> inbox;
};

backup_tree_plan plan_backup_tree(const std::vector<driver_package>& packages);

// The picture and text of a device item.
int32_t class_image_of(const device_record& device);
std::u16string class_text_of(const device_record& device);

// --- The restore tree -------------------------------------------------------------

// What an item of the restore tree refers to: its archive, and the
// catalogue device whose details the panel shows (an archive item shows its
// first device; null for an archive that lists none).
struct restore_tree_node {
  std::u16string archive;
  const catalogue_device* device = nullptr;
  std::u16string text;
  int32_t image = 0;
};

struct restore_tree_archive {
  restore_tree_node node;
  std::vector<restore_tree_node> devices;
};

// One root per catalogue entry, sorted by file name; one child per device
// it serves, named as the device of the last scan with that ID is named
// (or as the catalogue has it when the device is not plugged in).
std::vector<restore_tree_archive> plan_restore_tree(const std::vector<catalogue_entry>& entries,
                                                    const std::vector<const device_record*>& live_devices);

// --- Check boxes ----------------------------------------------------------------------

// The tree as the check rules see it. Items are opaque non-zero values;
// 0 is "none".
class check_tree_i {
 public:
  using item = uintptr_t;
  virtual ~check_tree_i() = default;
  virtual item first_root() = 0;
  virtual item first_child(item parent) = 0;
  virtual item next_sibling(item node) = 0;
  virtual item parent_of(item node) = 0;
  virtual bool checked(item node) = 0;
  virtual void set_checked(item node, bool on) = 0;
  // The item's data; 0 for a group.
  virtual uintptr_t data(item node) = 0;
};

// The box of `changed` was just toggled on the backup tree: a package
// unticked unticks its group; a group gives its state to its packages.
void propagate_backup_check(check_tree_i& tree, check_tree_i::item changed);
// The box of `changed` was just toggled on the restore tree: at most one
// archive stays ticked.
void keep_single_archive(check_tree_i& tree, check_tree_i::item changed);
// The data of the ticked packages: the first root's children, then the
// next root's, in tree order.
std::vector<uintptr_t> ticked_packages(check_tree_i& tree);
// The data of the first ticked root; 0 when none is ticked.
uintptr_t first_ticked_root(check_tree_i& tree);

// --- The information panel ----------------------------------------------------------

struct info_line {
  const char* label_key;
  std::u16string value;  // empty when nothing is selected
};

// The six lines of a device's driver; values of null are empty.
std::vector<info_line> backup_info_lines(const device_record* device, const std::u16string& inf_directory);
// The backup date and the six lines of a catalogue device.
std::vector<info_line> restore_info_lines(const catalogue_device* device, const std::u16string& inf_directory);
// A label as the panel writes it: "%s:".
std::u16string label_text(const std::u16string& text);

// --- Layout --------------------------------------------------------------------------------

struct tree_page_layout {
  int tree_x = 0, tree_y = 20, tree_width = 300, tree_height = 0;
  int separator_x = 300;
  int info_x = 310, info_y = 35;
  int settings_x = 310, settings_y = 250;
  int button_x = 440, button_y = 320;
  int line_gap = 24;
  int value_offset = 90;
};

tree_page_layout layout_tree_page(int page_height);

}  // namespace quillary
