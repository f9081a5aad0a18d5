#include "ui/pages/page_paint_win32.h"

#include "app/language.h"
#include "platform/win32.h"
#include "ui/skin/wrapped_text_win32.h"

namespace quillary {

void draw_text_at(HDC dc, const std::u16string& text, int x, int y, HFONT font, COLORREF colour) {
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  const int mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = SetTextColor(dc, colour);
  // Right-to-left languages read from the right; the text still starts at x.
  const UINT reading = language_is_right_to_left() ? ETO_RTLREADING : 0;
  ExtTextOutW(dc, x, y, reading, nullptr, wide(text), static_cast<UINT>(text.size()), nullptr);
  SetTextColor(dc, old_colour);
  SetBkMode(dc, mode);
  if (previous) SelectObject(dc, previous);
}

SIZE text_extent(HDC dc, const std::u16string& text, HFONT font) {
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  GetTextExtentPoint32W(dc, wide(text), static_cast<int>(text.size()), &size);
  if (previous) SelectObject(dc, previous);
  return size;
}

void fill_colour(HDC dc, const RECT& rect, COLORREF colour) {
  const COLORREF previous = SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(dc, previous);
}

void frame_colour(HDC dc, const RECT& rect, COLORREF colour) {
  fill_colour(dc, RECT{rect.left, rect.top, rect.right, rect.top + 1}, colour);
  fill_colour(dc, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
  fill_colour(dc, RECT{rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
  fill_colour(dc, RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

HFONT first_fitting_font(HDC dc, const std::u16string& text, int width, std::initializer_list<HFONT> fonts) {
  HFONT chosen = nullptr;
  for (HFONT font : fonts) {
    chosen = font;
    if (text_extent(dc, text, font).cx <= width) break;
  }
  return chosen;
}

void draw_paragraph(HDC dc, const std::u16string& text, RECT& rect, HFONT font, COLORREF colour, int line_gap) {
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  const int mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = SetTextColor(dc, colour);
  draw_wrapped_text(dc, text, rect, line_gap, 0);
  SetTextColor(dc, old_colour);
  SetBkMode(dc, mode);
  if (previous) SelectObject(dc, previous);
}

}  // namespace quillary
