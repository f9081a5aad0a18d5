#include "ui/skin/skin_image_win32.h"

#include "ui/skin/palette.h"

#include <cstdint>

namespace quillary {

HBITMAP load_skin_bitmap(HINSTANCE instance, int number) {
  return static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(number), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

skin_image_c& skin_image_c::operator=(skin_image_c&& other) noexcept {
  if (this != &other) {
    reset();
    bitmap_ = other.bitmap_;
    width_ = other.width_;
    height_ = other.height_;
    alpha_ = other.alpha_;
    other.bitmap_ = nullptr;
    other.width_ = other.height_ = 0;
  }
  return *this;
}

bool skin_image_c::load(HINSTANCE instance, int number) {
  adopt(load_skin_bitmap(instance, number));
  return !empty();
}

void skin_image_c::adopt(HBITMAP bitmap) {
  reset();
  bitmap_ = bitmap;
  inspect();
}

void skin_image_c::reset() {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  width_ = height_ = 0;
  alpha_ = false;
}

void skin_image_c::inspect() {
  if (!bitmap_) return;
  DIBSECTION section{};
  if (GetObjectW(bitmap_, sizeof section, &section) == sizeof section &&
      section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits) {
    // Pictures drawn with transparency carry it in the alpha bytes; a
    // picture whose alpha bytes are all 0 or all 255 is plain. Blending
    // wants the colours premultiplied, so they are, once, here.
    auto* pixels = static_cast<uint8_t*>(section.dsBm.bmBits);
    const size_t count = static_cast<size_t>(section.dsBm.bmWidthBytes / 4) *
                         static_cast<size_t>(section.dsBm.bmHeight);
    bool any_zero = false, any_partial = false, any_opaque = false;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t a = pixels[i * 4 + 3];
      any_zero |= a == 0;
      any_opaque |= a == 255;
      any_partial |= a != 0 && a != 255;
    }
    alpha_ = any_partial || (any_zero && any_opaque);
    if (alpha_) {
      for (size_t i = 0; i < count; ++i) {
        uint8_t* p = pixels + i * 4;
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(p[c] * p[3] / 255);
      }
    }
    width_ = section.dsBm.bmWidth;
    height_ = section.dsBm.bmHeight < 0 ? -section.dsBm.bmHeight : section.dsBm.bmHeight;
    return;
  }
  BITMAP info{};
  if (GetObjectW(bitmap_, sizeof info, &info)) {
    width_ = info.bmWidth;
    height_ = info.bmHeight;
  }
}

void skin_image_c::draw(HDC dc, int x, int y) const {
  // In high contrast the skin's pictures (bands, backgrounds, ornaments)
  // give way to the grounds under them; buttons draw plain boxes instead
  // (see button_c::draw_picture) and the status marks draw shapes.
  if (!bitmap_ || plain_skin()) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(source, bitmap_);
  if (alpha_) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, width_, height_, source, 0, 0, width_, height_, blend);
  } else {
    BitBlt(dc, x, y, width_, height_, source, 0, 0, SRCCOPY);
  }
  SelectObject(source, previous);
  DeleteDC(source);
}

}  // namespace quillary
