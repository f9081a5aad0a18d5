// What the pages share when they paint: drawing into an off-screen bitmap
// first (the scan page repaints five times a second and must not flicker),
// texts at a point, and the colours of the page contents.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "ui/skin/button_geometry.h"

namespace quillary {

namespace page_colour {
// The blue of headings and step names.
constexpr COLORREF heading = RGB(76, 146, 206);
// The side bar's ground, its edge and its rows.
constexpr COLORREF side_bar = RGB(226, 240, 253);
constexpr COLORREF side_bar_edge = RGB(194, 218, 244);
constexpr COLORREF side_bar_text = RGB(67, 110, 152);
constexpr COLORREF white = RGB(255, 255, 255);
}  // namespace page_colour

// Paints the window's client area through an off-screen bitmap: `draw`
// gets a device context of the whole client area, white beneath.
void paint_buffered(HWND window, const std::function<void(HDC, const RECT&)>& draw);

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
