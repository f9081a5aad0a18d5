#include "tests/gui/capture_win32.h"

#include <objidl.h>

#include <algorithm>
#include <vector>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace quillary::gui {
namespace {

bool png_encoder(CLSID& clsid) {
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  if (size == 0) return false;
  std::vector<BYTE> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(encoders[i].MimeType, L"image/png") == 0) {
      clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

// A copy of the screen's pixels in `area` (screen coordinates); null on failure.
HBITMAP capture_screen(const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
  SelectObject(dc, previous);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// Writes `bitmap` to `path` as PNG; false on failure.
bool save_png(HBITMAP bitmap, const std::wstring& path) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    CLSID clsid{};
    Gdiplus::Bitmap image(bitmap, nullptr);
    saved = png_encoder(clsid) && image.Save(path.c_str(), &clsid, nullptr) == Gdiplus::Ok;
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

}  // namespace

bool save_window_png(HWND window, const std::wstring& path, bool client_only) {
  RECT area{};
  if (client_only) {
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
  } else {
    GetWindowRect(window, &area);
  }
  HBITMAP shot = capture_screen(area);
  const bool saved = shot && save_png(shot, path);
  if (shot) DeleteObject(shot);
  return saved;
}

COLORREF screen_pixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

}  // namespace quillary::gui
