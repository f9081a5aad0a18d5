// Calendar time as the program needs it: the UTC date for the settings and
// the local time for the weekly task.
#pragma once

#include <string>

namespace quillary {

struct local_time {
  int year = 0;
  int month = 0;    // 1..12
  int day = 0;      // 1..31
  int weekday = 0;  // 0 Sunday .. 6 Saturday
  int hour = 0;
  int minute = 0;
};

namespace platform {

// Today's date in UTC as "%Y-%m-%d".
std::u16string utc_date_text();

local_time current_local_time();

}  // namespace platform
}  // namespace quillary
