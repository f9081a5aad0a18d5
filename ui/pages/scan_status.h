// The scan page's words and numbers, apart from its window: the five status
// lines, the animated dots, the clock texts and where the lines go.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace quillary {

// Phases of a scan on the page: not started, device scan, update query.
enum class scan_phase : int { not_started = 0, scanning_devices = 1, querying = 2 };

// "%H:%M:%S" of a local time.
std::u16string clock_text(const local_time& time);
// The time between two calendar times as a time of day in UTC, "%H:%M:%S":
// 75 seconds read 00:01:15, whatever the time zone or the day.
std::u16string elapsed_text(int64_t start, int64_t now);
// One, two or three dots, by the current second.
std::u16string animated_dots(int64_t now);

struct scan_status_input {
  scan_phase phase = scan_phase::not_started;
  local_time start_local;  // the start time in the user's time zone
  int64_t start = 0;       // calendar times
  int64_t now = 0;
  int32_t items = 0;
  std::u16string current_item;
};

// The five lines in their drawing order: start time, elapsed time, status,
// items scanned, current item.
using scan_status_lines = std::array<std::u16string, 5>;
scan_status_lines status_lines(const scan_status_input& input);

// The status text of the query phase without its dots: it sets the width
// the lines are centred on.
std::u16string widest_status_text();

struct status_area {
  int left = 0, top = 0, right = 0, bottom = 0;
  int line_height = 0;
};
// Where the lines go in a client area of this size: five lines and 40
// pixels, centred vertically; centred on the text's width when that takes
// more than two thirds of the main area (the area left of the side bar),
// else from a sixth to five sixths of it.
status_area place_status_area(int client_width, int client_height, int text_width, int line_height);

// Pixels of the side bar at the right of the home and scan pages.
constexpr int side_bar_width = 250;

// The progress bar's filled share in thousandths (0 while the total is
// unknown).
int progress_permille(int32_t current, int32_t total);

}  // namespace quillary
