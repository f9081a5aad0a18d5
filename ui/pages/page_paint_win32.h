// What the pages share when they paint: texts at a point, filled and framed
// rectangles, and the colours of the page contents. (The window base draws
// them off screen first: the scan page repaints five times a second and
// must not flicker.)
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "ui/skin/button_geometry.h"
#include "ui/skin/skin_colours.h"

namespace quillary {

// A rectangle filled, or framed one pixel wide, in a colour (no brush to
// make and free).
void fill_colour(HDC dc, const RECT& rect, COLORREF colour);
void frame_colour(HDC dc, const RECT& rect, COLORREF colour);
inline RECT to_rect(const skin_box& box) { return RECT{box.left, box.top, box.right, box.bottom}; }

// One line of text at (x, y) in `font` and `colour`, transparent.
void draw_text_at(HDC dc, const std::u16string& text, int x, int y, HFONT font, COLORREF colour);

// The size of one line of text in `font`.
SIZE text_extent(HDC dc, const std::u16string& text, HFONT font);
// The first of the faces in which the text is no wider than `width`; the
// last one when none is.
HFONT first_fitting_font(HDC dc, const std::u16string& text, int width, std::initializer_list<HFONT> fonts);

// Draws `text` in `font` from the rectangle's top-left corner in the
// reading order of the interface language, with the skin's word wrap.
void draw_paragraph(HDC dc, const std::u16string& text, RECT& rect, HFONT font, COLORREF colour, int line_gap);

}  // namespace quillary
