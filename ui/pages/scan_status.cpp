#include "ui/pages/scan_status.h"

#include <algorithm>
#include <cstdio>

#include "app/language.h"
#include "platform/text.h"

namespace quillary {
namespace {

std::u16string two_digits_each(int hour, int minute, int second) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  return ascii_to_utf16(text);
}

constexpr int64_t seconds_per_day = 24 * 60 * 60;

}  // namespace

std::u16string clock_text(const local_time& time) { return two_digits_each(time.hour, time.minute, time.second); }

std::u16string elapsed_text(int64_t start, int64_t now) {
  // A clock set back meanwhile reads as no time at all.
  const int64_t seconds = std::max<int64_t>(0, now - start) % seconds_per_day;
  return two_digits_each(static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                         static_cast<int>(seconds % 60));
}

std::u16string animated_dots(int64_t now) {
  const int64_t count = (now % 3 + 3) % 3 + 1;
  return std::u16string(static_cast<size_t>(count), u'.');
}

scan_status_lines status_lines(const scan_status_input& input) {
  const std::u16string status =
      input.phase == scan_phase::querying
          ? text_of("scan_status") + text_of("scan_status2") + animated_dots(input.now)
          : text_of("scan_status") + text_of("scan_status1");
  return {
      text_of("scan_start_time") + clock_text(input.start_local),
      text_of("scan_time_elapsed") + elapsed_text(input.start, input.now),
      status,
      text_of("scan_items_scanned") + ascii_to_utf16(std::to_string(input.items)),
      text_of("scan_item") + input.current_item,
  };
}

std::u16string widest_status_text() { return text_of("scan_status") + text_of("scan_status2"); }

status_area place_status_area(int client_width, int client_height, int text_width, int line_height) {
  status_area area;
  area.line_height = line_height;
  const int height = 5 * line_height + 40;
  area.top = (client_height - height) / 2;
  area.bottom = area.top + height;
  const int main_width = client_width - side_bar_width;
  if (text_width * 3 > main_width * 2) {
    area.left = (main_width - text_width) / 2;
    area.right = area.left + text_width;
  } else {
    area.left = main_width / 6;
    area.right = 5 * main_width / 6;
  }
  return area;
}

int progress_permille(int32_t current, int32_t total) {
  if (total <= 0 || current <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(1000, int64_t{current} * 1000 / total));
}

}  // namespace quillary
