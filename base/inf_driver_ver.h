// The DriverVer directive of an INF's [Version] section: the date and
// version a driver package says it has. The service indexes packages by
// it and the client checks a downloaded package against the offer by it,
// so both read it with this one function.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/inf_file.h"

namespace quillary {

struct inf_driver_ver {
  std::string date;     // YYYY-MM-DD
  std::string version;  // dotted as written, blanks trimmed; "0.0.0.0" when DriverVer gives none
};

// Reads [Version] DriverVer. When the section holds the directive more
// than once, the last one counts. Fails with a reason when there is no
// [Version] section, no DriverVer with a valid date, or a version that is
// not one.
bool read_inf_driver_ver(const inf_file_c& inf, inf_driver_ver& out, std::string& reason);

// "mm/dd/yyyy" (or with '-') as YYYY-MM-DD; false when it is no such date.
bool normalize_inf_date(std::string_view text, std::string& out);

// A DriverVer version: one to four dot-separated decimal numbers of at
// most five digits each, nothing else. Fills `parts` with the numbers, the
// missing ones 0 (the system reads "1.2" as 1.2.0.0 too).
bool parse_driver_version(std::string_view text, std::array<uint32_t, 4>& parts);

}  // namespace quillary
