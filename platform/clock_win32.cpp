#include "platform/clock.h"

#include <cstdio>

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
  return local_time{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek, now.wHour, now.wMinute};
}

}  // namespace quillary::platform
