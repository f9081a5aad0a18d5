#include "service/update_package_list.h"

#include <algorithm>

#include "platform/text.h"
#include "service/scan_result.h"

namespace quillary {

int device_category(std::u16string_view class_name) {
  static constexpr const char16_t* order[] = {u"Unknown", u"Display", u"MEDIA", u"Net", u"Image", u"Printer"};
  for (int i = 0; i < static_cast<int>(std::size(order)); ++i) {
    if (equal_ignore_case(class_name, order[i])) return i;
  }
  return 6;
}

int update_package_list_c::find_row(std::string_view link) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].link == link) return static_cast<int>(i);
  }
  return -1;
}

void update_package_list_c::build(const std::vector<offered_device>& devices, offer_choice choice) {
  choice_ = choice;
  rows_.clear();
  for (const offered_device& device : devices) {
    const bool latest = choice == offer_choice::latest;
    const update_item* item = latest ? device.latest_item : device.best_item;
    const bool out_of_date = latest ? device.latest_is_update : device.best_is_update;
    if (!item || item->link_text(update_item::link).empty()) continue;
    const std::string_view link = item->link_text(update_item::link);
    if (const int row = find_row(link); row >= 0) {
      rows_[row].devices.push_back(&device);
      if (out_of_date) rows_[row].not_needed = 0;
    } else {
      rows_.push_back(update_package{link, out_of_date ? 0 : 1, choice, item, {&device}});
    }
  }
  if (devices.size() < 2) return;
  std::stable_sort(rows_.begin(), rows_.end(), [](const update_package& a, const update_package& b) {
    if (a.not_needed != b.not_needed) return a.not_needed < b.not_needed;
    const device_record& first_a = *a.devices.front();
    const device_record& first_b = *b.devices.front();
    const int category_a = device_category(first_a.class_name);
    const int category_b = device_category(first_b.class_name);
    if (category_a != category_b) return category_a < category_b;
    const std::u16string empty;
    const auto& description_a = first_a.class_entry ? first_a.class_entry->description : empty;
    const auto& description_b = first_b.class_entry ? first_b.class_entry->description : empty;
    return compare_for_display(description_a, description_b) < 0;
  });
}

}  // namespace quillary
