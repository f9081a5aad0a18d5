// The download page's counters over the device list of the last scan, each
// device counting as many times as it is present (its instances).
#pragma once

#include <cstdint>
#include <vector>

#include "service/scan_result.h"

namespace quillary {

struct download_counts {
  int32_t out_of_date = 0;  // out of date under the choice, with a driver
  int32_t no_driver = 0;    // out of date under the choice, without a driver
  int32_t offered = 0;      // with any offer at all
  int32_t up_to_date() const { return offered - out_of_date - no_driver; }
};

download_counts count_devices(const std::vector<offered_device>& devices, offer_choice choice);

}  // namespace quillary
