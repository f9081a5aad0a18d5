// The update query's document, as the client builds it:
//   <driversm>
//     <action>ACTION_UPDATE_DRIVER</action>
//     <client version="" os="WIN764" lang="437" model="..." build="7601"/>
//     <hardwares>
//       <hardware><id/><matchid/><hardids/><compids/></hardware> ...
// The four texts of a hardware are CDATA; hardids and compids hold their IDs
// separated by line feeds. The declaration says UTF-8 but the bytes are in
// the client's ANSI code page, so the text is taken byte for byte.
#pragma once

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
  std::vector<request_device> devices;
};

// Longest device ID taken: the client keeps device IDs in 200 characters,
// so a longer one can never be matched to its device again.
constexpr size_t max_device_id = 4096;

// Fails with a reason when the text is not XML or lacks the root element
// `driversm`, its `client` or `hardwares` child, or a hardware's `id` text,
// or when an `id` is longer than max_device_id.
bool parse_update_request(std::string_view xml, update_request& out, std::string& reason);

}  // namespace quillary::server
