// The side bar of the home and scan pages: the system summary in seven
// rows, each value wrapped in its column.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/skin/skin_image_win32.h"
#include "ui/window/accessible_model.h"

namespace quillary {

class system_info_c;

class side_bar_c {
 public:
  explicit side_bar_c(const system_info_c& system) : system_(system) {}
  void load(HINSTANCE instance);
  // Paints the bar along the right edge of `client`; `indent` is where the
  // values begin, from the bar's left edge.
  void paint(HDC dc, const RECT& client, int indent) const;
  // The width of the widest row label in the current language.
  static int widest_label(HDC dc);
  // The heading and the seven rows (label as name, the summary's value as
  // value) for screen readers, where the last painting put them.
  void add_parts(std::vector<accessible_item>& parts, const RECT& client) const;

 private:
  const system_info_c& system_;
  skin_image_c heading_;
  // Each row's top and bottom as last painted.
  mutable std::vector<std::pair<int, int>> rows_;
};

}  // namespace quillary
