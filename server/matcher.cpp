#include "server/matcher.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <tuple>

namespace quillary::server {

namespace {

std::array<unsigned long, 4> version_numbers(const std::string& text) {
  std::array<unsigned long, 4> numbers{};
  const char* p = text.c_str();
  for (size_t i = 0; i < numbers.size() && *p != '\0'; ++i) {
    char* end = nullptr;
    numbers[i] = std::strtoul(p, &end, 10);
    if (end == p || *end == '\0') break;
    p = end + 1;  // one separator of any kind
  }
  return numbers;
}

uint32_t distance(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

}  // namespace

uint32_t match_rank(bool device_compatible, bool model_compatible, size_t position) {
  const uint32_t base = (device_compatible ? 0x2000u : 0u) + (model_compatible ? 0x1000u : 0u);
  return base + static_cast<uint32_t>(std::min<size_t>(position, 0xFFF));
}

int compare_versions(const std::string& a, const std::string& b) {
  const auto x = version_numbers(a);
  const auto y = version_numbers(b);
  if (x < y) return -1;
  if (y < x) return 1;
  return 0;
}

std::vector<offer> match_device(const catalogue_c& catalogue, const client_os& os, const device_ids& device) {
  // The models section each manufacturer uses for this client, decided once
  // per (INF, manufacturer).
  std::map<std::pair<uint32_t, uint32_t>, const inf_models_section*> chosen;
  std::map<uint32_t, offer> best_per_inf;

  for (size_t d = 0; d < device.ids.size(); ++d) {
    const auto* hits = catalogue.find_id(device.ids[d]);
    if (hits == nullptr) continue;
    const bool device_compatible = d >= device.compatible_from;
    const size_t position = device_compatible ? d - device.compatible_from : d;
    for (const auto& hit : *hits) {
      const catalogue_inf& inf = catalogue.infs()[hit.inf];
      const inf_manufacturer& manufacturer = inf.driver.manufacturers[hit.manufacturer];
      const auto key = std::make_pair(hit.inf, hit.manufacturer);
      auto it = chosen.find(key);
      if (it == chosen.end()) it = chosen.emplace(key, choose_models_section(manufacturer, os)).first;
      const inf_models_section* section = &manufacturer.sections[hit.section];
      if (it->second != section) continue;

      const inf_model& model = section->models[hit.model];
      const uint32_t rank = match_rank(device_compatible, hit.position >= model.compatible_from, position);
      auto found = best_per_inf.find(hit.inf);
      if (found != best_per_inf.end() && found->second.rank <= rank) continue;
      offer o;
      o.package = &catalogue.packages()[inf.package];
      o.inf = &inf;
      o.section = section;
      o.model = &model;
      o.is_signed = inf.signed_sections[hit.manufacturer][hit.section];
      o.matched_id = device.raw_ids[d];
      o.rank = rank;
      best_per_inf[hit.inf] = std::move(o);
    }
  }

  std::vector<offer> offers;
  offers.reserve(best_per_inf.size());
  for (auto& [index, o] : best_per_inf) offers.push_back(std::move(o));
  const uint32_t client_code = static_cast<uint32_t>(os.version_code());
  std::stable_sort(offers.begin(), offers.end(), [client_code](const offer& a, const offer& b) {
    const auto key = [client_code](const offer& o) {
      return std::make_tuple(distance(decoration_target_os(o.section->decoration), client_code), !o.is_signed,
                             o.model->feature_score, o.rank);
    };
    if (key(a) != key(b)) return key(a) < key(b);
    if (a.inf->driver.date != b.inf->driver.date) return a.inf->driver.date > b.inf->driver.date;
    return compare_versions(a.inf->driver.version, b.inf->driver.version) > 0;
  });
  return offers;
}

}  // namespace quillary::server
