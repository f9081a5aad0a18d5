// Where the home page puts its parts, apart from its window.
#pragma once

#include <array>
#include <string>

#include "ui/skin/button_geometry.h"

namespace quillary {

struct home_layout {
  skin_point banner;
  // The three step names on the banner: "home_scan_for_drivers",
  // "home_download", "home_install".
  std::array<skin_point, 3> steps;
  // How wide each step name may be before it runs into the banner's faint
  // picture of that step.
  std::array<int, 3> step_room;
  skin_point footer_rule;
  skin_point footer_icon;
  skin_point footer_text;
};

// For a client area of `width` × `height` (the side bar included), the
// banner's size and the foot rule's height. The start button begins at
// (height - 150) / 2; the banner ends 10 pixels above it. The foot picture
// goes 25 pixels above the rule, its text beside it.
home_layout place_home(int width, int height, int banner_width, int banner_height, int rule_height);

// Where the side bar's labels begin, from its left edge, and the least room
// between a label and its value.
constexpr int side_bar_label_inset = 10;
constexpr int side_bar_label_gap = 6;

// The side bar's values begin this far into the bar: 55 pixels, 72 for the
// languages whose labels are long (French and Dutch on the home page,
// French on the scan page), and never so close that the widest label
// (`widest_label` pixels in the font drawn) would touch its value.
int side_bar_indent(bool home_page, const std::string& language_code, int widest_label);

}  // namespace quillary
