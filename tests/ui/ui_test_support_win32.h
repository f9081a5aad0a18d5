// Helpers for the window tests, which run real windows of this process on a
// display (under Wine inside Xvfb).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace quillary::testing {

// Dispatches the thread's messages for `milliseconds`.
inline void pump(DWORD milliseconds = 50) {
  const DWORD start = GetTickCount();
  MSG message;
  do {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}

// A top-down 32-bit bitmap to draw into and read back.
class canvas_c {
 public:
  canvas_c(int width, int height, COLORREF fill = RGB(255, 255, 255)) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  ~canvas_c() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  canvas_c(const canvas_c&) = delete;
  canvas_c& operator=(const canvas_c&) = delete;

  HDC dc() const { return dc_; }
  COLORREF pixel(int x, int y) const {
    GdiFlush();
    const uint32_t p = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // Rows holding a pixel that is not `background`.
  std::vector<int> inked_rows(COLORREF background) const {
    std::vector<int> rows;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (pixel(x, y) != background) {
          rows.push_back(y);
          break;
        }
      }
    }
    return rows;
  }
  int count(const std::function<bool(COLORREF)>& wanted) const {
    int n = 0;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) n += wanted(pixel(x, y));
    return n;
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// A solid 32-bit bitmap.
inline HBITMAP solid_bitmap(int width, int height, COLORREF colour) {
  canvas_c source(width, height, colour);
  HDC screen = GetDC(nullptr);
  HBITMAP copy = CreateCompatibleBitmap(screen, width, height);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(dc, copy);
  BitBlt(dc, 0, 0, width, height, source.dc(), 0, 0, SRCCOPY);
  SelectObject(dc, previous);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return copy;
}

inline LPARAM screen_point(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

}  // namespace quillary::testing
