// For every device: which offered item is best and which is latest, and
// whether the device counts as out of date under either choice.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "service/scan_result.h"

namespace quillary {

// Versions as up to four numbers, each after one separator of any kind; a
// part that cannot be read is 0. True when `a` is greater than `b`.
bool version_greater(std::u16string_view a, std::u16string_view b);

// What the installed driver's rank says about it: its signature class and
// feature score, read as the system of the given version encodes them.
struct rank_meaning {
  uint32_t sign;
  uint32_t feature;
};
rank_meaning meaning_of_rank(uint32_t rank, int32_t os_version_code);

// Sets best_item, latest_item, best_is_update and latest_is_update.
// `installed_links` are the packages installed before (from setup.dat).
void choose_items(offered_device& device, int32_t os_version_code,
                  const std::set<std::string>& installed_links);

}  // namespace quillary
