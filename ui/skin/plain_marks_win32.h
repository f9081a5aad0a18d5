// Drawing the high-contrast stand-ins of plain_marks.h with GDI.
#pragma once

#include <windows.h>

#include "ui/skin/plain_marks.h"

namespace quillary {

// The mark's strokes, two pixels wide, with its box's corner at (x, y).
void draw_status_mark(HDC dc, status_mark mark, int x, int y, COLORREF colour);

// A legend's swatch: the hatch on `ground`, framed in `ink`.
void draw_hatch_swatch(HDC dc, const RECT& box, chart_hatch hatch, COLORREF ink, COLORREF ground);

}  // namespace quillary
