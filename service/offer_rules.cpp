#include "service/offer_rules.h"

#include <algorithm>

#include "platform/text.h"
#include "service/update_matching.h"

namespace quillary {

bool version_in_block_range(const package_block& rule, std::u16string_view version) {
  if (!rule.lowest.empty() && version_greater(rule.lowest, version)) return false;
  if (!rule.highest.empty() && version_greater(version, rule.highest)) return false;
  return true;
}

bool blocks_offer(const package_block& rule, const device_record& device, const update_item& item) {
  if (rule.what == package_block::kind::link) return item.link_text(update_item::link) == rule.link;
  const bool for_device =
      equal_ignore_case(item.text(update_item::hardid), rule.hardware_id) ||
      std::any_of(device.hardware_ids.begin(), device.hardware_ids.end(),
                  [&](const std::u16string& id) { return equal_ignore_case(id, rule.hardware_id); });
  return for_device && version_in_block_range(rule, item.text(update_item::ver));
}

const package_block* rule_blocking_offer(const package_blocks& rules, const device_record& device,
                                         const update_item& item) {
  for (const auto& rule : rules) {
    if (blocks_offer(rule, device, item)) return &rule;
  }
  return nullptr;
}

const package_block* rule_blocking_link(const package_blocks& rules, std::string_view link) {
  for (const auto& rule : rules) {
    if (rule.what == package_block::kind::link && rule.link == link) return &rule;
  }
  return nullptr;
}

size_t drop_blocked_offers(std::vector<update_item>& items, const device_record& device, const package_blocks& rules) {
  if (rules.empty()) return 0;
  const size_t before = items.size();
  items.erase(std::remove_if(items.begin(), items.end(),
                             [&](const update_item& item) { return rule_blocking_offer(rules, device, item); }),
              items.end());
  return before - items.size();
}

size_t set_aside_hidden_offers(offered_device& device, const hidden_updates_c& hidden) {
  if (hidden.empty()) return 0;
  std::vector<update_item> offered;
  offered.reserve(device.items.size());
  uint32_t position = 0;
  for (auto& item : device.items) {
    if (hidden.contains(item.link_text(update_item::link), device.device_id)) {
      device.hidden_items.push_back(std::move(item));
      device.hidden_positions.push_back(position);
    } else {
      offered.push_back(std::move(item));
    }
    ++position;
  }
  device.items = std::move(offered);
  return device.hidden_items.size();
}

void take_back_hidden_offers(offered_device& device) {
  if (device.hidden_items.empty()) return;
  std::vector<update_item> all;
  all.reserve(device.items.size() + device.hidden_items.size());
  size_t next_offered = 0, next_hidden = 0;
  while (next_offered < device.items.size() || next_hidden < device.hidden_items.size()) {
    const bool hidden_here = next_hidden < device.hidden_items.size() &&
                             (device.hidden_positions[next_hidden] <= all.size() || next_offered == device.items.size());
    all.push_back(std::move(hidden_here ? device.hidden_items[next_hidden++] : device.items[next_offered++]));
  }
  device.items = std::move(all);
  device.hidden_items.clear();
  device.hidden_positions.clear();
}

}  // namespace quillary
