#include "ui/skin/plain_marks_win32.h"

namespace quillary {

namespace {

int gdi_hatch(chart_hatch hatch) {
  switch (hatch) {
    case chart_hatch::diagonal_cross: return HS_DIAGCROSS;
    case chart_hatch::horizontal: return HS_HORIZONTAL;
    case chart_hatch::forward_diagonal: return HS_BDIAGONAL;  // GDI's "backward" rises to the right
    case chart_hatch::vertical: return HS_VERTICAL;
    case chart_hatch::cross: return HS_CROSS;
    case chart_hatch::backward_diagonal:
    default: return HS_FDIAGONAL;
  }
}

}  // namespace

void draw_status_mark(HDC dc, status_mark mark, int x, int y, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 2, colour);
  HGDIOBJ previous = SelectObject(dc, pen);
  for (const mark_stroke& stroke : mark_strokes(mark)) {
    if (stroke.empty()) continue;
    MoveToEx(dc, x + stroke.front().x, y + stroke.front().y, nullptr);
    for (size_t i = 1; i < stroke.size(); ++i) LineTo(dc, x + stroke[i].x, y + stroke[i].y);
  }
  SelectObject(dc, previous);
  DeleteObject(pen);
}

void draw_hatch_swatch(HDC dc, const RECT& box, chart_hatch hatch, COLORREF ink, COLORREF ground) {
  const COLORREF previous_ground = SetBkColor(dc, ground);
  const int previous_mode = SetBkMode(dc, OPAQUE);
  HBRUSH brush = CreateHatchBrush(gdi_hatch(hatch), ink);
  FillRect(dc, &box, brush);
  DeleteObject(brush);
  HBRUSH frame = CreateSolidBrush(ink);
  FrameRect(dc, &box, frame);
  DeleteObject(frame);
  SetBkMode(dc, previous_mode);
  SetBkColor(dc, previous_ground);
}

}  // namespace quillary
