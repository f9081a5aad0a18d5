// Calendar time as the program needs it: the UTC date for the settings, the
// local time for the weekly task and the scan page's clock, and the times
// of restore points, which WMI gives as its own DATETIME text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// WMI's DATETIME, "yyyymmddHHMMSS.mmmmmmsUUU" (a local time and its offset
// from UTC in minutes), as seconds since 1970-01-01 00:00 UTC. False for any
// other text, and for one whose fields are left out (asterisks).
bool seconds_of_wmi_datetime(std::u16string_view text, int64_t& seconds);
// A calendar time as "2026-12-09T07:27:00Z", and back (false for any other
// text).
std::u16string utc_time_text(int64_t seconds);
bool seconds_of_utc_time_text(std::u16string_view text, int64_t& seconds);
}  // namespace quillary
