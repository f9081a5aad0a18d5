#include "ui/pages/download_counts.h"

namespace quillary {

download_counts count_devices(const std::vector<offered_device>& devices, offer_choice choice) {
  download_counts counts;
  for (const offered_device& d : devices) {
    const bool update = choice == offer_choice::best ? d.best_is_update : d.latest_is_update;
    if (update) (d.has_driver ? counts.out_of_date : counts.no_driver) += d.instance_count;
    if (!d.items.empty()) counts.offered += d.instance_count;
  }
  return counts;
}

}  // namespace quillary
