// Where the windowless skin buttons are and where their pictures go, for
// each kind of button, apart from any window. Rectangles are anything with
// left, top, right and bottom; a point lies in a rectangle as the system's
// PtInRect says (right and bottom edges outside).
#pragma once

namespace quillary {

template <typename Rect>
bool rect_contains(const Rect& rect, int x, int y) {
  return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

struct skin_point {
  int x = 0;
  int y = 0;
  bool operator==(const skin_point&) const = default;
};

struct skin_box {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const skin_box&) const = default;
};

// Caption buttons and panel action buttons: the rectangle is measured from
// the area's right edge; (x, y) relative to the area's top-left corner.
template <typename Rect, typename Area>
bool right_anchored_hit(const Rect& rect, int x, int y, const Area& area) {
  return rect_contains(rect, (area.right - area.left) - x, y);
}
template <typename Rect, typename Area>
skin_point right_anchored_image_origin(const Rect& rect, const Area& area) {
  return {area.right - rect.right, rect.top};
}
// The label box of a panel action button: the rectangle mirrored into the
// area from its right edge.
template <typename Rect, typename Area>
skin_box right_anchored_box(const Rect& rect, const Area& area) {
  return {area.right - rect.right, rect.top, area.right - rect.left, rect.bottom};
}

// The home page's start button: its image, centred over the page less the
// side bar, above the summary.
template <typename Area>
skin_box home_button_box(int image_width, int image_height, const Area& area) {
  const int left = (area.right - 250) / 2 - image_width / 2;
  const int top = (area.bottom - 150) / 2;
  return {left, top, left + image_width, top + image_height};
}

}  // namespace quillary
