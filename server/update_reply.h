// The update reply: per device of the request, the offers of the catalogue,
// written as the client reads them:
//   <?xml version="1.0" encoding="windows-1252"?>
//   <driversm><hardwares><hardware><id/><item>...</item>...</hardware>...
// The text is in the client's ANSI code page, and the declaration names that
// code page so that the client's XML library takes the bytes as they are
// instead of decoding them as UTF-8.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "server/code_page.h"
#include "server/matcher.h"
#include "server/update_request.h"

namespace quillary::server {

// The fifteen values of one item, as UTF-8 except `hardid`, which keeps the
// client's bytes; then the package's SHA-256 (written when known) and the
// base64 of its signature file (written when it has one). Clients that do
// not check packages ignore these two as unknown elements.
struct item_values {
  std::string hardid, title, ver, size, guid, link, infpath, official_link, cp, manu, sign, feature, targetos,
      date, desc, sha256, minisig;
};

// `package_base` is the address packages are served under, such as
// "http://127.0.0.1:8080/packages/". The title, description and
// manufacturer are in the client's user-interface language `ui_language`
// (a LANGID; 0 when the client did not say) where the INF file has it, by
// Windows' rule (localized_text.h).
item_values make_item_values(const offer& o, const std::string& package_base, uint16_t ui_language = 0);

// "<archive name without .zip or .cab>/<INF path in the archive>": the
// client keeps what follows the first separator, which is then the INF's
// path inside the extracted package.
std::string make_infpath(const std::string& package_file_name, const std::string& inf_path);

// A file name percent-encoded for a URL path: everything but letters,
// digits and "-._~".
std::string percent_encode(const std::string& name);

struct reply_limits {
  size_t max_items_per_device = 500;  // what the client reads at most
  // The document never grows beyond this many bytes, well below the
  // client's 5 MiB reply buffer. What would not fit is left out lowest
  // ranked first: every device keeps its best offer before any device
  // keeps a second one (and so on), and only when even the best offers do
  // not all fit are whole devices left out, the later ones first.
  size_t max_bytes = 4u << 20;
};

struct reply_stats {
  size_t devices_with_offers = 0;
  size_t items = 0;
  size_t items_left_out = 0;    // cut by the size limit
  size_t devices_left_out = 0;  // devices with offers cut by the size limit
};

// The offers for device number i of the request, best first (as the client
// ranks them). Asked for one device after the other while the reply is
// written, so that only one device's offers exist at a time; asked a second
// time when the reply does not fit whole.
using offer_source = std::function<std::vector<offer>(size_t device)>;

// Devices without offers are left out, except that when no device has any,
// the first one is written with its id alone (the client rejects a reply
// without any hardware); a request without devices gets an empty
// `hardwares`.
std::string write_update_reply(const update_request& request, const offer_source& offers_for,
                               const std::string& package_base, const code_page_info& code_page,
                               const code_page_converter_c& converter, const reply_limits& limits,
                               reply_stats& stats);

// The XML declaration and the escaping used by the reply, for its fault
// variants.
std::string xml_declaration(const code_page_info& code_page);
std::string escape_xml(const std::string& text);

}  // namespace quillary::server
