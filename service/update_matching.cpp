#include "service/update_matching.h"

#include <array>
#include <cstdlib>

#include "base/ascii_text.h"
#include "platform/text.h"

namespace quillary {
namespace {

// Reads "%d" as the C library does: blanks, a sign, digits.
bool read_number(std::string_view text, size_t& at, long& out) {
  size_t i = at;
  while (i < text.size() && is_ascii_space(text[i])) ++i;
  const size_t sign = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t digits = i;
  while (i < text.size() && is_ascii_digit(text[i])) ++i;
  if (i == digits) return false;
  out = std::strtol(std::string(text.substr(sign, i - sign)).c_str(), nullptr, 10);
  at = i;
  return true;
}

std::array<long, 4> version_parts(std::u16string_view version) {
  const std::string text = to_ansi(version);
  std::array<long, 4> parts{};
  size_t at = 0;
  for (size_t n = 0; n < parts.size(); ++n) {
    // Between two numbers stands exactly one character, whatever it is.
    if (n > 0) {
      if (at >= text.size()) break;
      ++at;
    }
    if (!read_number(text, at, parts[n])) break;
  }
  return parts;
}

// -1 when a is better than b, 1 when b is better, 0 when neither, by the
// ranking criteria in their order.
int compare_offers(const update_item& a, const update_item& b, int32_t os_version_code) {
  const auto distance = [&](const update_item& i) {
    return std::abs(static_cast<int64_t>(i.targetos) - os_version_code);
  };
  if (distance(a) != distance(b)) return distance(a) < distance(b) ? -1 : 1;
  if (a.sign != b.sign) return a.sign < b.sign ? -1 : 1;
  if (a.feature != b.feature) return a.feature < b.feature ? -1 : 1;
  if (a.cp != b.cp) return a.cp < b.cp ? -1 : 1;
  const auto date_a = a.text(update_item::date), date_b = b.text(update_item::date);
  if (date_a != date_b) return date_a > date_b ? -1 : 1;
  if (version_greater(a.text(update_item::ver), b.text(update_item::ver))) return -1;
  if (version_greater(b.text(update_item::ver), a.text(update_item::ver))) return 1;
  return 0;
}

bool installed(const update_item& item, const std::set<std::string>& links) {
  return links.count(std::string(item.link_text(update_item::link))) != 0;
}

// Newer by date, or by version on the same date.
bool newer_than_installed(const update_item& item, const device_record& device) {
  const auto date = item.text(update_item::date);
  if (date != device.driver_date) return date > std::u16string_view(device.driver_date);
  return version_greater(item.text(update_item::ver), device.driver_version);
}

bool best_is_update(const device_record& device, const update_item& best, int32_t os_version_code,
                    const std::set<std::string>& links) {
  if (!device.has_driver) return true;  // the installed links are not consulted
  const rank_meaning current = meaning_of_rank(device.driver_rank, os_version_code);
  bool update;
  if (best.sign != current.sign) {
    update = best.sign < current.sign;
  } else if (best.feature != current.feature) {
    update = best.feature < current.feature;
  } else if (!equal_ignore_case(best.text(update_item::hardid), device.matching_device_id)) {
    update = true;
  } else {
    update = newer_than_installed(best, device);
  }
  return update && !installed(best, links);
}

}  // namespace

bool version_greater(std::u16string_view a, std::u16string_view b) {
  const auto x = version_parts(a), y = version_parts(b);
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] != y[i]) return x[i] > y[i];
  }
  return false;
}

rank_meaning meaning_of_rank(uint32_t rank, int32_t os_version_code) {
  if (os_version_code >= 60) {
    const uint32_t sign = rank >= 0x80000000u ? 3 : rank >= 0x0F000000u ? 1 : 0;
    return {sign, (rank >> 16) & 0xFF};
  }
  return {(rank & 0xC000) ? 3u : 0u, 255};
}

void choose_items(offered_device& device, int32_t os_version_code,
                  const std::set<std::string>& installed_links) {
  if (device.items.empty()) return;
  const update_item* best = &device.items.front();
  const update_item* latest = best;
  for (const auto& item : device.items) {
    if (compare_offers(item, *best, os_version_code) < 0) best = &item;
    if (item.text(update_item::date) > latest->text(update_item::date)) latest = &item;
  }
  device.best_item = best;
  device.latest_item = latest;
  device.best_is_update = best_is_update(device, *best, os_version_code, installed_links);
  device.latest_is_update =
      !device.has_driver || (newer_than_installed(*latest, device) && !installed(*latest, installed_links));
}

}  // namespace quillary
