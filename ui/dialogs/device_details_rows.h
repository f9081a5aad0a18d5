// The thirteen rows of the device details table, apart from the dialog:
// the property's language key, what the installed driver says and what the
// offered one says.
#pragma once

#include <array>
#include <string>

#include "devices/device_record.h"
#include "service/update_item.h"

namespace quillary {

struct device_detail_row {
  const char* key;
  std::u16string current;
  std::u16string offered;
};

constexpr size_t device_detail_row_count = 13;

// The offered column reads `offer`; where the offer has nothing to say, or
// there is no offer, it shows "(blank)".
std::array<device_detail_row, device_detail_row_count> device_detail_rows(const device_record& device,
                                                                          const update_item* offer);

// What the dialog shows of one device: its name in the upper list and its
// rows. A copy: the dialog runs its own message loop, and a scan started
// meanwhile replaces the device list.
struct device_details_entry {
  std::u16string description;
  std::array<device_detail_row, device_detail_row_count> rows;
};

// The file-name part of an INF path: after its last backslash, or the whole
// text without one.
std::u16string_view inf_file_name(std::u16string_view inf_path);

}  // namespace quillary
