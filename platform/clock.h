// Calendar time as the program needs it: the UTC date for the settings, the
// local time for the weekly task and the scan page's clock.
#pragma once

#include <cstdint>
#include <string>

namespace quillary {

struct local_time {
  int year = 0;
  int month = 0;    // 1..12
  int day = 0;      // 1..31
  int weekday = 0;  // 0 Sunday .. 6 Saturday
  int hour = 0;
  int minute = 0;
  int second = 0;
};

namespace platform {

// Today's date in UTC as "%Y-%m-%d".
std::u16string utc_date_text();

local_time current_local_time();

// Seconds since 1970-01-01 00:00 UTC.
int64_t current_calendar_time();
// A calendar time in the user's time zone.
local_time local_time_of(int64_t calendar_time);

}  // namespace platform
}  // namespace quillary
