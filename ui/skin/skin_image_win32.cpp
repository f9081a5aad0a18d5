#include "ui/skin/skin_image_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out, and
// min and max as the Windows headers would have defined them.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include "ui/skin/palette.h"
#include "ui/window/display_scale_win32.h"

namespace quillary {
namespace {

// GDI+ is started the first time a picture is decoded and never shut down:
// pictures are decoded for as long as the program runs (a window moved to
// another display loads its larger ones then), and GDI+ counts its starts,
// so the pie chart's own start and stop do not disturb this one.
bool gdiplus_started() {
  static const bool started = [] {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return started;
}

// The PNG resource `number` decoded into a 24-bit bottom-up section bitmap,
// the format LoadImageW gives the BMP resources, so that the pictures of
// every scale draw alike; null when missing or not a picture GDI+ reads.
HBITMAP load_png_resource(HINSTANCE instance, int number) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(number), L"PNG");
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(instance, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(instance, found);
  if (!data || size == 0 || !gdiplus_started()) return nullptr;
  IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(data), size);
  if (!stream) return nullptr;
  HBITMAP result = nullptr;
  {
    // The bitmap reads from the stream while it lives: released after it.
    Gdiplus::Bitmap decoded(stream);
    const int width = static_cast<int>(decoded.GetWidth());
    const int height = static_cast<int>(decoded.GetHeight());
    Gdiplus::BitmapData locked{};
    const Gdiplus::Rect all(0, 0, width, height);
    if (decoded.GetLastStatus() == Gdiplus::Ok && width > 0 && height > 0 &&
        decoded.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &locked) == Gdiplus::Ok) {
      BITMAPINFO format{};
      format.bmiHeader.biSize = sizeof format.bmiHeader;
      format.bmiHeader.biWidth = width;
      format.bmiHeader.biHeight = height;  // bottom-up
      format.bmiHeader.biPlanes = 1;
      format.bmiHeader.biBitCount = 24;
      void* bits = nullptr;
      result = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (result) {
        // GDI+'s 24bppRGB is blue, green, red, as a DIB's; rows are padded
        // to four bytes in a DIB and to what GDI+ chose in its buffer.
        const size_t row = static_cast<size_t>(width) * 3;
        const size_t stride = (row + 3) & ~static_cast<size_t>(3);
        for (int y = 0; y < height; ++y) {
          const auto* from = static_cast<const uint8_t*>(locked.Scan0) + static_cast<ptrdiff_t>(y) * locked.Stride;
          std::memcpy(static_cast<uint8_t*>(bits) + (height - 1 - y) * stride, from, row);
        }
        GdiFlush();
      }
      decoded.UnlockBits(&locked);
    }
  }
  stream->Release();
  return result;
}

}  // namespace

HBITMAP load_skin_bitmap(HINSTANCE instance, int number) {
  // The 100 % pictures are BITMAP resources; the larger scales' variants are
  // PNG resources (a tenth of the size), decoded to the same kind of bitmap.
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(number), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  return bitmap ? bitmap : load_png_resource(instance, number);
}

HBITMAP load_skin_bitmap_at(HINSTANCE instance, int number, display_scale scale) {
  HBITMAP base = load_skin_bitmap(instance, number);
  if (!base || scale.unscaled()) return base;
  BITMAP base_info{};
  GetObjectW(base, sizeof base_info, &base_info);
  const int width = scale.device(base_info.bmWidth);
  const int height = scale.device(base_info.bmHeight < 0 ? -base_info.bmHeight : base_info.bmHeight);
  const int k = nearest_picture_scale(scale.dpi * 100 / logical_dpi);
  HBITMAP larger = k > 0 ? load_skin_bitmap(instance, number + k * picture_number_step) : nullptr;
  HBITMAP source = larger ? larger : base;
  BITMAP info{};
  GetObjectW(source, sizeof info, &info);
  if (info.bmWidth == width && (info.bmHeight < 0 ? -info.bmHeight : info.bmHeight) == height) {
    if (source != base) DeleteObject(base);
    return source;
  }
  // Resampled to the exact size, in the source's own format.
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = info.bmBitsPixel == 32 ? 32 : 24;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP sized = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (sized) {
    HGDIOBJ old_from = SelectObject(from, source);
    HGDIOBJ old_to = SelectObject(to, sized);
    SetStretchBltMode(to, HALFTONE);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth,
               info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, SRCCOPY);
    SelectObject(from, old_from);
    SelectObject(to, old_to);
  }
  DeleteDC(from);
  DeleteDC(to);
  if (larger) DeleteObject(larger);
  DeleteObject(base);
  return sized;
}

skin_image_c& skin_image_c::operator=(skin_image_c&& other) noexcept {
  if (this != &other) {
    reset();
    bitmap_ = other.bitmap_;
    width_ = other.width_;
    height_ = other.height_;
    alpha_ = other.alpha_;
    instance_ = other.instance_;
    number_ = other.number_;
    larger_ = other.larger_;
    looked_for_ = other.looked_for_;
    other.bitmap_ = nullptr;
    other.width_ = other.height_ = 0;
    other.instance_ = nullptr;
    other.larger_ = {};
    other.looked_for_ = {};
  }
  return *this;
}

bool skin_image_c::load(HINSTANCE instance, int number) {
  adopt(load_skin_bitmap(instance, number));
  if (!empty()) {
    instance_ = instance;
    number_ = number;
  }
  return !empty();
}

void skin_image_c::adopt(HBITMAP bitmap) {
  reset();
  const picture p = inspect(bitmap);
  bitmap_ = p.bitmap;
  width_ = p.width;
  height_ = p.height;
  alpha_ = p.alpha;
}

void skin_image_c::reset() {
  if (bitmap_) DeleteObject(bitmap_);
  for (picture& p : larger_) {
    if (p.bitmap) DeleteObject(p.bitmap);
  }
  larger_ = {};
  looked_for_ = {};
  bitmap_ = nullptr;
  width_ = height_ = 0;
  alpha_ = false;
  instance_ = nullptr;
  number_ = 0;
}

skin_image_c::picture skin_image_c::inspect(HBITMAP bitmap) {
  picture p{bitmap};
  if (!bitmap) return p;
  DIBSECTION section{};
  if (GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
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
    p.alpha = any_partial || (any_zero && any_opaque);
    if (p.alpha) {
      for (size_t i = 0; i < count; ++i) {
        uint8_t* px = pixels + i * 4;
        for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>(px[c] * px[3] / 255);
      }
    }
    p.width = section.dsBm.bmWidth;
    p.height = section.dsBm.bmHeight < 0 ? -section.dsBm.bmHeight : section.dsBm.bmHeight;
    return p;
  }
  BITMAP info{};
  if (GetObjectW(bitmap, sizeof info, &info)) {
    p.width = info.bmWidth;
    p.height = info.bmHeight;
  }
  return p;
}

const skin_image_c::picture& skin_image_c::at_scale(int k) const {
  static const picture none{};
  if (k <= 0 || !instance_) return none;
  if (!looked_for_[k]) {
    looked_for_[k] = true;
    larger_[k] = inspect(load_skin_bitmap(instance_, number_ + k * picture_number_step));
  }
  return larger_[k];
}

void skin_image_c::draw(HDC dc, int x, int y) const {
  // In high contrast the skin's pictures (bands, backgrounds, ornaments)
  // give way to the grounds under them; buttons draw plain boxes instead
  // (see button_c::draw_picture) and the status marks draw shapes.
  if (!bitmap_ || plain_skin()) return;
  const display_scale scale = drawing_scale(dc);
  const picture* chosen = nullptr;
  if (!scale.unscaled()) {
    const picture& larger = at_scale(nearest_picture_scale(scale.dpi * 100 / logical_dpi));
    if (larger.bitmap) chosen = &larger;
  }
  const picture own{bitmap_, width_, height_, alpha_};
  const picture& p = chosen ? *chosen : own;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(source, p.bitmap);
  if (chosen) {
    // The larger picture is the screen's pixels already: copied pixel for
    // pixel where the picture's corner falls (a scaled box of the logical
    // size could come out a pixel wider or narrower and blur it).
    POINT corner{x, y};
    LPtoDP(dc, &corner, 1);
    XFORM transform{};
    GetWorldTransform(dc, &transform);
    draw_in_device_pixels(dc);
    if (p.alpha) {
      const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      AlphaBlend(dc, corner.x, corner.y, p.width, p.height, source, 0, 0, p.width, p.height, blend);
    } else {
      BitBlt(dc, corner.x, corner.y, p.width, p.height, source, 0, 0, SRCCOPY);
    }
    SetWorldTransform(dc, &transform);
  } else if (p.alpha) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, width_, height_, source, 0, 0, p.width, p.height, blend);
  } else if (scale.unscaled()) {
    BitBlt(dc, x, y, width_, height_, source, 0, 0, SRCCOPY);
  } else {
    // No picture for this scale: the 100 % one, enlarged smoothly.
    const int mode = SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, x, y, width_, height_, source, 0, 0, p.width, p.height, SRCCOPY);
    SetStretchBltMode(dc, mode);
  }
  SelectObject(source, previous);
  DeleteDC(source);
}

}  // namespace quillary
