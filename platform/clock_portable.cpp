#include "platform/clock.h"

#include <ctime>

#include "platform/text.h"

namespace quillary::platform {

std::u16string utc_date_text() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
  return ascii_to_utf16(text);
}

local_time current_local_time() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local_time{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

int64_t current_calendar_time() { return static_cast<int64_t>(std::time(nullptr)); }

local_time local_time_of(int64_t calendar_time) {
  const std::time_t time = static_cast<std::time_t>(calendar_time);
  std::tm local{};
  if (!localtime_r(&time, &local)) return {};
  return local_time{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace quillary::platform
