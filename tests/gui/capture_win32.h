// Screen captures for the GUI tests: what the display shows of a rectangle,
// saved as PNG with the GDI+ encoder.
#pragma once

#include <windows.h>

#include <string>

namespace quillary::gui {

// Writes what the screen shows of `window` (only its client area when
// `client_only`) to `path` as PNG; false on failure.
bool save_window_png(HWND window, const std::wstring& path, bool client_only);
// The screen's colour at a screen point, as 0x00BBGGRR.
COLORREF screen_pixel(int x, int y);

}  // namespace quillary::gui
