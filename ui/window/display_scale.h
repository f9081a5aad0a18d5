// The program lays out and draws in the pixels of a 96-DPI display, its
// logical pixels, whatever the display. A window's scale turns them into the
// window's device pixels: at 144 DPI (150 %) a 10-pixel gap is 15 pixels
// on the screen. The window layer applies the scale where the program meets
// the system (painting, mouse positions, placing windows); the rest of the
// program never sees a device pixel.
#pragma once

#include <array>

namespace quillary {

// a × b / c rounded half away from zero, as the system's MulDiv rounds.
constexpr int mul_div(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = (c < 0 ? -c : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const long long magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

constexpr int logical_dpi = 96;

struct display_scale {
  int dpi = logical_dpi;

  // A DPI the system cannot mean (0, negative, absurd) is taken as 96, so
  // that no window is ever laid out at zero or vast size.
  static constexpr display_scale of(int dpi) {
    return display_scale{dpi >= 48 && dpi <= 960 ? dpi : logical_dpi};
  }
  constexpr bool unscaled() const { return dpi == logical_dpi; }
  constexpr double factor() const { return static_cast<double>(dpi) / logical_dpi; }

  constexpr int device(int logical) const { return mul_div(logical, dpi, logical_dpi); }
  constexpr int logical(int device) const { return mul_div(device, logical_dpi, dpi); }

  // Rectangles by their edges, so that boxes that touch at 96 DPI still
  // touch at every scale (scaling the width would leave gaps and overlaps).
  template <typename Rect>
  constexpr Rect device_rect(Rect r) const {
    r.left = device(r.left);
    r.top = device(r.top);
    r.right = device(r.right);
    r.bottom = device(r.bottom);
    return r;
  }
  template <typename Rect>
  constexpr Rect logical_rect(Rect r) const {
    r.left = logical(r.left);
    r.top = logical(r.top);
    r.right = logical(r.right);
    r.bottom = logical(r.bottom);
    return r;
  }

  constexpr bool operator==(const display_scale&) const = default;
};

// The scales the skin's pictures are drawn at, in percent; a picture of
// resource number N at the k-th of them has the number
// N + k × picture_number_step (the first, 100 %, is N itself).
constexpr std::array<int, 4> picture_scales{100, 125, 150, 200};
constexpr int picture_number_step = 1000;

// The index in picture_scales of the pictures to draw at `dpi` (given as a
// percentage of 96 DPI): the nearest one, the larger when two are as near,
// since a picture made smaller stays sharper than one made larger.
constexpr int nearest_picture_scale(int percent) {
  const auto distance = [percent](int scale) { return scale > percent ? scale - percent : percent - scale; };
  int best = 0;
  for (int i = 1; i < static_cast<int>(picture_scales.size()); ++i) {
    if (distance(picture_scales[i]) <= distance(picture_scales[best])) best = i;
  }
  return best;
}

}  // namespace quillary
