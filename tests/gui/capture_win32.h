// Screen captures for the GUI tests: what the display shows of a rectangle,
// saved as PNG with the GDI+ encoder.
#pragma once

#include <windows.h>

#include <string>

namespace quillary::gui {

// A copy of the screen's pixels in `area` (screen coordinates); null on failure.
HBITMAP capture_screen(const RECT& area);
// Writes `bitmap` to `path` as PNG; false on failure.
bool save_png(HBITMAP bitmap, const std::wstring& path);
// The screen's colour at a screen point, as 0x00BBGGRR.
COLORREF screen_pixel(int x, int y);

}  // namespace quillary::gui
