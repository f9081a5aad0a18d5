// The system's side of display scaling: a window's DPI, the system's
// metrics at a DPI, and device contexts that take logical pixels.
//
// The program is per-monitor DPI aware (its manifest says so): Windows
// neither stretches its windows nor lies about their sizes, and tells a
// window when it moves to a display of another scale (WM_DPICHANGED). The
// functions that tell a window's DPI came with Windows 10 1607 and 8.1;
// before them every display has the system's DPI, which is what the
// fallbacks read.
#pragma once

#include <windows.h>

#include "ui/window/display_scale.h"

namespace quillary {

// The DPI of the display the window is on.
display_scale scale_of_window(HWND window);
// The DPI of the primary display, for a window about to be created.
display_scale system_scale();

// GetSystemMetrics for a window at `scale` (the frame's widths, the
// caption's height, icon sizes).
int system_metric(int index, display_scale scale);

// From here on `dc` takes logical pixels: everything drawn on it, text
// included, is scaled by the system at the device's resolution (a font of
// 11 logical pixels is rasterised at 16.5, not enlarged from 11).
void draw_in_logical_pixels(HDC dc, display_scale scale);
// Back to the device's own pixels (before copying a buffer out of `dc`:
// a copy's source is transformed too).
void draw_in_device_pixels(HDC dc);
// The scale that `dc` draws at: what draw_in_logical_pixels set, else 1.
display_scale drawing_scale(HDC dc);

}  // namespace quillary
