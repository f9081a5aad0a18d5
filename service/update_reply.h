// The update service's reply: the offered packages, attached as update items
// to the device records they are for.
#pragma once

#include <string>

namespace quillary {

class device_inventory_c;

// At most this many items are kept per device.
constexpr size_t max_items_per_device = 500;

// Parses the zero-terminated reply body. A document without a root, without
// "hardwares", without a first "hardware" or with a "hardware" lacking its
// "id" text fails with last error 21; devices handled before a bad
// "hardware" keep their new items.
bool parse_update_reply(const char* body, device_inventory_c& inventory);

// The package-relative INF path from the reply's "infpath": "/" becomes
// "\", and what follows the first "\" is kept (the service puts a folder of
// its own in front). A text without any separator names an INF at the
// package's root and is kept whole.
std::u16string inf_name_of(std::u16string_view infpath);

}  // namespace quillary
