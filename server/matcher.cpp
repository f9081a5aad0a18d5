#include "server/matcher.h"

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <tuple>

namespace quillary::server {

namespace {

std::array<unsigned long, 4> version_numbers(std::string_view text) {
  std::array<unsigned long, 4> numbers{};
  size_t p = 0;
  for (size_t i = 0; i < numbers.size() && p < text.size(); ++i) {
    const size_t start = p;
    unsigned long value = 0;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
      const unsigned long digit = static_cast<unsigned long>(text[p] - '0');
      value = value > (ULONG_MAX - digit) / 10 ? ULONG_MAX : value * 10 + digit;
    }
    if (p == start) break;
    numbers[i] = value;
    if (p == text.size()) break;
    ++p;  // one separator of any kind
  }
  return numbers;
}

uint32_t distance(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

}  // namespace

uint32_t match_rank(bool device_compatible, bool model_compatible, size_t position) {
  const uint32_t base = (device_compatible ? 0x2000u : 0u) + (model_compatible ? 0x1000u : 0u);
  return base + static_cast<uint32_t>(std::min<size_t>(position, 0xFFF));
}

int compare_versions(std::string_view a, std::string_view b) {
  const auto x = version_numbers(a);
  const auto y = version_numbers(b);
  if (x < y) return -1;
  if (y < x) return 1;
  return 0;
}

std::vector<offer> match_device(const catalogue_c& catalogue, const client_os& os, const device_ids& device) {
  // The models section each manufacturer uses for this client, decided once
  // per manufacturer.
  std::map<uint32_t, uint32_t> chosen;
  std::map<uint32_t, offer> best_per_inf;
  const auto chosen_section = [&](uint32_t manufacturer_index) {
    auto it = chosen.find(manufacturer_index);
    if (it != chosen.end()) return it->second;
    const manufacturer_view manufacturer = catalogue.manufacturer(manufacturer_index);
    const size_t pick = choose_section(manufacturer.section_count, os, [&](size_t i) {
      const section_view section = catalogue.section(manufacturer.first_section + static_cast<uint32_t>(i));
      return std::make_pair(section.decorated, section.decoration);
    });
    const uint32_t section = pick < manufacturer.section_count ? manufacturer.first_section + static_cast<uint32_t>(pick)
                                                               : image::none;
    return chosen.emplace(manufacturer_index, section).first->second;
  };

  for (size_t d = 0; d < device.ids.size(); ++d) {
    const id_hits hits = catalogue.find_id(device.ids[d]);
    const bool device_compatible = d >= device.compatible_from;
    const size_t position = device_compatible ? d - device.compatible_from : d;
    for (uint32_t h = 0; h < hits.count; ++h) {
      const catalogue_hit hit = catalogue.hit(hits.first + h);
      const model_view model = catalogue.model(hit.model);
      // The model counts only in the section the system would use.
      const uint32_t chosen_index = chosen_section(model.manufacturer);
      if (chosen_index == image::none) continue;
      const section_view section = catalogue.section(chosen_index);
      if (hit.model < section.first_model || hit.model - section.first_model >= section.model_count) continue;
      const uint32_t inf_index = catalogue.manufacturer(model.manufacturer).inf;
      const uint32_t rank = match_rank(device_compatible, hit.position >= model.compatible_from, position);
      auto found = best_per_inf.find(inf_index);
      if (found != best_per_inf.end() && found->second.rank <= rank) continue;
      const inf_view inf = catalogue.inf(inf_index);
      if (!catalogue.package_offered(inf.package)) continue;
      offer& o = best_per_inf[inf_index];
      o.inf_index = inf_index;
      o.package = catalogue.package(inf.package);
      o.inf = inf;
      o.section = section;
      o.model = model;
      o.is_signed = section.is_signed;
      o.localized_descriptions = catalogue.localized(model.localized_descriptions);
      o.localized_providers = catalogue.localized(inf.localized_providers);
      o.matched_id = device.raw_ids[d];
      o.rank = rank;
    }
  }

  std::vector<offer> offers;
  offers.reserve(best_per_inf.size());
  for (auto& [index, o] : best_per_inf) offers.push_back(std::move(o));
  const uint32_t client_code = static_cast<uint32_t>(os.version_code());
  std::stable_sort(offers.begin(), offers.end(), [client_code](const offer& a, const offer& b) {
    const auto key = [client_code](const offer& o) {
      return std::make_tuple(distance(decoration_target_os(o.section.decoration), client_code), !o.is_signed,
                             o.model.feature_score, o.rank);
    };
    if (key(a) != key(b)) return key(a) < key(b);
    if (a.inf.date != b.inf.date) return a.inf.date > b.inf.date;
    return compare_versions(a.inf.version, b.inf.version) > 0;
  });
  return offers;
}

}  // namespace quillary::server
