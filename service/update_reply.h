// The update service's reply: the offered packages, attached as update items
// to the device records they are for.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/outcome.h"
#include "service/update_item.h"

namespace quillary {

struct offered_device;

// At most this many items are kept per device.
constexpr size_t max_items_per_device = 500;

// Parses the zero-terminated reply body. A document that is no complete
// XML (cut off, broken part-way, nested too deeply), or has no root, no
// "hardwares", no first "hardware" or a "hardware" lacking its "id" text,
// fails with error_code 21 and changes no device, except that devices
// handled before a bad "hardware" in a complete document keep their new
// items. The body is read as TinyXML would read it, without building its
// document (see base/xml_reader.h).
outcome parse_update_reply(const char* body, std::vector<offered_device>& devices);

// The elements of an item that are read, in the order the service sends
// them, and the item made of their texts, given in that order ("" for an
// element that is absent): for every reader of the reply.
std::span<const std::string_view> reply_item_elements();
update_item reply_item_from_texts(std::span<const std::string_view> texts);

// A number of the reply as a 32-bit strtoul reads it, the same in every
// build: leading blanks, an optional sign, decimal digits (base 10) or
// hexadecimal ones after an optional "0x" (base 16); 4294967295 when it does
// not fit; a negative number wraps; no digits give 0.
uint32_t reply_number(std::string_view text, int base);

// The package-relative INF path from the reply's "infpath": "/" becomes
// "\", and what follows the first "\" is kept (the service puts a folder of
// its own in front). A text without any separator names an INF at the
// package's root and is kept whole.
std::u16string inf_name_of(std::u16string_view infpath);

}  // namespace quillary
