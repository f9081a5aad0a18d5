// Which of the update service's offers a PC takes: none that the machine's
// policy blocks. A blocked offer is dropped before the best and latest
// offers are picked, so it is never shown, counted, downloaded or
// installed, and a device whose only offers are blocked is offered nothing.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "app/package_block.h"
#include "app/hidden_updates.h"
#include "devices/device_record.h"
#include "service/scan_result.h"
#include "service/update_item.h"

namespace quillary {

using package_blocks = std::vector<package_block>;

// Whether the rule blocks that offer for that device: a link rule the
// offer's link; a hardware ID rule an offer for a device with that hardware
// ID (among the device's own, or the one the offer was matched on), in
// every version or, with a range, in the versions it holds.
bool blocks_offer(const package_block& rule, const device_record& device, const update_item& item);

// The first rule blocking the offer; null when none does.
const package_block* rule_blocking_offer(const package_blocks& rules, const device_record& device,
                                         const update_item& item);

// The first link rule naming the link: for a download or an installation
// known by its link alone.
const package_block* rule_blocking_link(const package_blocks& rules, std::string_view link);

// Whether the version lies in the rule's range (an empty end is open);
// compared as the offers are ranked (version_greater).
bool version_in_block_range(const package_block& rule, std::u16string_view version);

// Drops the device's blocked offers, in place; how many were dropped. Runs
// before the picks are made (they point into the offers).
size_t drop_blocked_offers(std::vector<update_item>& items, const device_record& device, const package_blocks& rules);

// Sets aside the offers the user hid for the device (into hidden_items,
// with their places), before the picks; how many.
size_t set_aside_hidden_offers(offered_device& device, const hidden_updates_c& hidden);
// Puts the hidden offers back where they stood.
void take_back_hidden_offers(offered_device& device);

}  // namespace quillary
