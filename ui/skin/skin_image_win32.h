// A picture of the skin: a bitmap resource of the program, loaded as a
// device-independent section bitmap. A number that does not exist gives an
// empty picture, which draws nothing and has no size. 32-bit pictures with
// an alpha channel are blended onto what lies beneath.
//
// Its size is in logical pixels. Drawn on a device context that scales
// (display_scale_win32.h), it draws the same picture drawn for the nearest
// larger scale (the resources hold each at 100, 125, 150 and 200 %), so
// that at 150 % its pixels are the screen's, not stretched ones. Those
// larger pictures are PNG resources, decoded when first drawn.
#pragma once

#include <windows.h>

#include <array>

#include "ui/window/display_scale.h"

namespace quillary {

class skin_image_c {
 public:
  skin_image_c() = default;
  ~skin_image_c() { reset(); }
  skin_image_c(skin_image_c&& other) noexcept { *this = static_cast<skin_image_c&&>(other); }
  skin_image_c& operator=(skin_image_c&& other) noexcept;
  skin_image_c(const skin_image_c&) = delete;
  skin_image_c& operator=(const skin_image_c&) = delete;

  // False (and empty) when the module has no such bitmap.
  bool load(HINSTANCE instance, int number);
  // Takes ownership of a bitmap made elsewhere.
  void adopt(HBITMAP bitmap);
  void reset();

  bool empty() const { return bitmap_ == nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  HBITMAP bitmap() const { return bitmap_; }

  void draw(HDC dc, int x, int y) const;

 private:
  struct picture {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    bool alpha = false;
  };
  static picture inspect(HBITMAP bitmap);
  // The picture drawn for the scales' index `k` of picture_scales; the
  // 100 % one when the resources have none.
  const picture& at_scale(int k) const;

  HBITMAP bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool alpha_ = false;
  HINSTANCE instance_ = nullptr;  // where the larger pictures are, when loaded
  int number_ = 0;
  mutable std::array<picture, picture_scales.size()> larger_{};  // [0] unused
  mutable std::array<bool, picture_scales.size()> looked_for_{};
};

// The picture resource `number` as a 24-bit or 32-bit section bitmap: a
// BITMAP resource as it is, or else a PNG resource (the larger scales'
// variants) decoded; null when missing or damaged.
HBITMAP load_skin_bitmap(HINSTANCE instance, int number);
// The bitmap resource `number` as drawn for `scale`: the picture of the
// nearest scale, made exactly `scale.device(width)` × `scale.device(height)`
// pixels when that one is not (for the system's controls, whose image lists
// and brushes take device pixels as they are); null when missing.
HBITMAP load_skin_bitmap_at(HINSTANCE instance, int number, display_scale scale);

}  // namespace quillary
