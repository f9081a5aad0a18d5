// The update query's document, as the client builds it:
//   <driversm>
//     <action>ACTION_UPDATE_DRIVER</action>
//     <client version="" os="WIN764" lang="437" model="..." build="7601" uilang="0411"/>
//     <hardwares>
//       <hardware><id/><matchid/><hardids/><compids/></hardware> ...
// The four texts of a hardware are CDATA; hardids and compids hold their IDs
// separated by line feeds. The declaration says UTF-8 but the bytes are in
// the client's ANSI code page, so the text is taken byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillary::server {

struct request_device {
  std::string id;       // device ID, the client's bytes exactly
  std::string match_id;
  std::vector<std::string> hardware_ids;
  std::vector<std::string> compatible_ids;
};

struct update_request {
  std::string os;          // code name, such as WIN764
  long oem_code_page = 0;  // `lang`; 0 when absent or not a number
  long build = 0;          // `build`, the system's build number; 0 when absent or not a number
  // `uilang`, the client's user-interface language (a LANGID) in exactly
  // four hexadecimal digits; 0 when absent or anything else. Texts are then
  // chosen as for US English (server/localized_text.h).
  uint16_t ui_language = 0;
  std::vector<request_device> devices;
};

// Longest device ID taken: the client keeps device IDs in 200 characters,
// so a longer one can never be matched to its device again.
constexpr size_t max_device_id = 4096;

// How much of a request document is read. With the document's own size
// limit these bound what one query can cost: the node count bounds the
// parsed document (TinyXML allocates an object of a few hundred bytes per
// element, attribute and text), the other two the matching. A PC with every
// device the system ever saw sends a few hundred devices of a dozen IDs.
struct request_limits {
  size_t max_nodes = 32768;
  size_t max_devices = 2048;
  size_t max_ids_per_device = 128;  // hardware and compatible IDs together
};

enum class request_verdict { accepted, malformed, too_large };

// `malformed` with a reason when the text is not XML or lacks the root
// element `driversm`, its `client` or `hardwares` child, or a hardware's
// `id` text, or when an `id` is longer than max_device_id; `too_large` with
// a reason when it is beyond the limits (the node count is checked before
// the XML library parses anything).
request_verdict parse_update_request(const std::string& xml, update_request& out, std::string& reason,
                                     const request_limits& limits = {});

}  // namespace quillary::server
