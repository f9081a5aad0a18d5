// The update query's request: a document naming every listed device by its
// identifiers, in the thread's ANSI code page, compressed with zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/scan_result.h"

namespace quillary {

// What the scan page hands to the update query, and what comes back.
struct update_request_info {
  std::string os_code_name;  // "WIN764", ...
  std::u16string model;
  int32_t os_version_code = 0;  // major * 10 + minor
  // The system's build number; 0 when not known. Sent so that the service
  // can tell which builds of one version (Windows 10's many releases) a
  // driver is for.
  uint32_t os_build = 0;
  uint32_t oem_code_page = 0;
  // The user-interface language (a LANGID, language_row::language_id), so
  // that the service can give an INF's texts in it; 0 sends none.
  uint16_t ui_language = 0;
  // Out: the HTTP status of the last server asked, and a transfer error text
  // (at most 255 characters).
  int32_t http_status = 0;
  std::string error_text;
  // Out: why the query failed (a last-error code), 0 after a success. The
  // query's own, whatever other threads fail meanwhile: the page that shows
  // it reads it on another thread than the one the query ran on.
  int32_t error_code = 0;
};

struct system_snapshot;

// The request of the system in `system`, as the scan page and the CLI send
// it: code name, version code, build, OEM code page, the user-interface
// language `ui_language` (a LANGID), and the computer's model once the WMI
// summary is ready (`summary_ready`; until then its thread may still write
// it, and the request goes without). The outputs are cleared. One place for
// both, so that what they send cannot drift apart.
update_request_info request_for_system(const system_snapshot& system, bool summary_ready, uint16_t ui_language);

std::string build_update_request(const std::vector<offered_device>& devices,
                                 const update_request_info& info);

// An RFC 1950 zlib stream at the default level; 0, or non-zero on failure.
int compress_request(const std::string& text, std::string& out);

}  // namespace quillary
