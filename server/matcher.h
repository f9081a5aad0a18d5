// Finds the catalogue's offers for one device of a request, as the system's
// own driver search would rank them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/catalogue.h"
#include "server/target_os.h"

namespace quillary::server {

// A device's IDs as matching sees them: the hardware IDs, then the
// compatible IDs, each as UTF-8 for comparison and as the client's own bytes
// for the reply.
struct device_ids {
  std::vector<std::string> ids;      // UTF-8
  std::vector<std::string> raw_ids;  // the client's bytes, same order
  size_t compatible_from = 0;        // index of the first compatible ID
};

// One INF's offer for a device: the records it is made of, as views into
// the catalogue (valid while the catalogue lives).
struct offer {
  uint32_t inf_index = 0;
  package_view package;
  inf_view inf;
  section_view section;
  model_view model;
  bool is_signed = false;
  // The model's description and the provider as [Strings.LLLL] sections
  // give them; empty for the many INF files without such sections.
  std::vector<localized_view> localized_descriptions, localized_providers;
  std::string matched_id;  // the device's ID that matched, client's bytes
  uint32_t rank = 0;       // the reply's `cp`; lower is better
};

// The match rank: like the identifier part of the system's driver rank, a
// base for the kind of match plus the position of the device's ID in its
// list:
//   0x0000 + i  device hardware ID i equals the model's hardware ID
//   0x1000 + i  device hardware ID i equals one of the model's compatible IDs
//   0x2000 + j  device compatible ID j equals the model's hardware ID
//   0x3000 + j  device compatible ID j equals one of the model's compatible IDs
// (positions above 0xFFF are held at 0xFFF).
uint32_t match_rank(bool device_compatible, bool model_compatible, size_t position);

// Every INF of the catalogue with a model, in the models section chosen for
// the client's system, that names one of the device's IDs; one offer per
// INF (its best-ranked model). Sorted as the client ranks them: target system
// closest to the client's, signed first, lower feature score, lower rank,
// newer date, higher version; then catalogue order.
std::vector<offer> match_device(const catalogue_c& catalogue, const client_os& os, const device_ids& device);

// Version texts compared as up to four numbers ("6.1.7600.16385" < "6.1.7601").
int compare_versions(std::string_view a, std::string_view b);

}  // namespace quillary::server
