#include "platform/clock.h"

#include <cstdio>
#include <ctime>

#include "platform/text.h"
#include "platform/win32.h"

namespace quillary::platform {

std::u16string utc_date_text() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  return ascii_to_utf16(text);
}

local_time current_local_time() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return local_time{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek, now.wHour, now.wMinute, now.wSecond};
}

int64_t current_calendar_time() { return static_cast<int64_t>(_time64(nullptr)); }

local_time local_time_of(int64_t calendar_time) {
  const __time64_t time = calendar_time;
  std::tm local{};
  if (_localtime64_s(&local, &time) != 0) return {};
  return local_time{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace quillary::platform
