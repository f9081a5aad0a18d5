#include "ui/pages/download_counts.h"

namespace quillary {

download_counts count_devices(const device_record* devices, size_t count, offer_choice choice) {
  download_counts counts;
  for (size_t i = 0; i < count; ++i) {
    const device_record& d = devices[i];
    const bool update = choice == offer_choice::best ? d.best_is_update : d.latest_is_update;
    if (update) (d.has_driver ? counts.out_of_date : counts.no_driver) += d.instance_count;
    if (!d.items.empty()) counts.offered += d.instance_count;
  }
  return counts;
}

}  // namespace quillary
