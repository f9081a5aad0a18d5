// A picture of the skin: a bitmap resource of the program, loaded as a
// device-independent section bitmap. A number that does not exist gives an
// empty picture, which draws nothing and has no size. 32-bit pictures with
// an alpha channel are blended onto what lies beneath.
#pragma once

#include <windows.h>

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
  void inspect();

  HBITMAP bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool alpha_ = false;
};

// The bitmap resource `number` as a section bitmap; null when missing.
HBITMAP load_skin_bitmap(HINSTANCE instance, int number);

}  // namespace quillary
