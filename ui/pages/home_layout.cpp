#include "ui/pages/home_layout.h"

#include <algorithm>

#include "ui/pages/scan_status.h"

namespace quillary {

home_layout place_home(int width, int height, int banner_width, int banner_height, int rule_height) {
  home_layout layout;
  const int middle = (height - 150) / 2;
  // The banner ends 10 pixels above the start button, which begins at the
  // middle; the step names go 25 pixels into the banner.
  layout.banner = {(width - side_bar_width - banner_width) / 2, middle - banner_height - 10};
  constexpr int step_offsets[3] = {0, 200, 373};
  // The banner's step pictures begin 46, 46 and 42 pixels before the ends of
  // the segments (200, 373, 520); 4 pixels stay free before them.
  constexpr int step_room[3] = {200 - 46 - 26 - 4, 373 - 46 - 200 - 26 - 4, 520 - 42 - 373 - 26 - 4};
  for (int i = 0; i < 3; ++i) {
    layout.steps[i] = {layout.banner.x + 26 + step_offsets[i], layout.banner.y + 25};
    layout.step_room[i] = step_room[i];
  }
  layout.footer_rule = {10, height - rule_height - 10};
  layout.footer_icon = {10, layout.footer_rule.y - 25};
  layout.footer_text = {40, layout.footer_icon.y + 2};
  return layout;
}

int side_bar_indent(bool home_page, const std::string& language_code, int widest_label) {
  const bool wide = language_code == "fr" || (home_page && language_code == "nl");
  return std::max(wide ? 72 : 55, side_bar_label_inset + widest_label + side_bar_label_gap);
}

}  // namespace quillary
