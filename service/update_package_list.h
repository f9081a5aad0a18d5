// The download page lists packages, not devices: the devices served by one
// package link form one row. Rows that bring an update come first and, among
// them, the most visible kinds of device (display, sound, network, imaging,
// printing).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "devices/device_record.h"
#include "service/update_item.h"

namespace quillary {

struct offered_device;

enum class offer_choice : int32_t { best = 0, latest = 1 };

struct update_package {
  std::string_view link;  // the link of the item of the row's first device
  int32_t not_needed = 1;  // 0 as soon as one of its devices is out of date
  offer_choice choice = offer_choice::best;
  const update_item* item = nullptr;  // the chosen item of the first device
  std::vector<const offered_device*> devices;  // in device-list order
};

// The order of device classes on the download page; 6 for every other class.
int device_category(std::u16string_view class_name);

class update_package_list_c {
 public:
  // Rebuilds the rows from a scan's devices for one choice, then sorts
  // them. Rows point into the devices: they are valid as long as those.
  void build(const std::vector<offered_device>& devices, offer_choice choice);
  // The first row with this link (compared byte by byte); -1 if none.
  int find_row(std::string_view link) const;

  const std::vector<update_package>& rows() const { return rows_; }
  offer_choice choice() const { return choice_; }

 private:
  offer_choice choice_ = offer_choice::best;
  std::vector<update_package> rows_;
};

}  // namespace quillary
