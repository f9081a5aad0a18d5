// The update service's reply: the offered packages, attached as update items
// to the device records they are for.
#pragma once

#include <string>

class TiXmlDocument;

namespace quillary {

class device_inventory_c;

// At most this many items are kept per device.
constexpr size_t max_items_per_device = 500;

// Parses the zero-terminated reply body. A document that is no complete
// XML (cut off, broken part-way, nested too deeply), or has no root, no
// "hardwares", no first "hardware" or a "hardware" lacking its "id" text,
// fails with last error 21; devices handled before a bad "hardware" keep
// their new items.
bool parse_update_reply(const char* body, device_inventory_c& inventory);

// The XML reading under parse_update_reply: false when the nesting guard
// refuses the body or TinyXML reports an error (then `document` holds
// nothing, or what TinyXML read before the error).
bool parse_reply_document(const char* body, TiXmlDocument& document);

// The package-relative INF path from the reply's "infpath": "/" becomes
// "\", and what follows the first "\" is kept (the service puts a folder of
// its own in front). A text without any separator names an INF at the
// package's root and is kept whole.
std::u16string inf_name_of(std::u16string_view infpath);

}  // namespace quillary
