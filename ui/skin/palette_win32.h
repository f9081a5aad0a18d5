// The program's palette fed from the system: whether the user has turned
// high contrast on (SPI_GETHIGHCONTRAST's HCF_HIGHCONTRASTON) and the
// user's colours (GetSysColor).
#pragma once

#include <windows.h>

#include "ui/skin/palette.h"

namespace quillary {

class system_colours_win32_c : public system_colours_i {
 public:
  uint32_t colour(system_colour index) const override;
};

// Whether the user's theme is a high-contrast one.
bool high_contrast_on();

// Reads the theme again into program_palette().
void refresh_program_palette();

// A theme or colour change (WM_SYSCOLORCHANGE, WM_SETTINGCHANGE) reached
// the top-level window `window`: refresh the palette and redraw the window,
// its frame and all its children.
void on_theme_change(HWND window);

// A solid brush of a role's colour for a window that lives on while the
// theme changes: made again when the role's colour has changed since.
class role_brush_c {
 public:
  explicit role_brush_c(colour_role role) : role_(role) {}
  ~role_brush_c() { reset(); }
  role_brush_c(const role_brush_c&) = delete;
  role_brush_c& operator=(const role_brush_c&) = delete;
  HBRUSH get();
  void reset();

 private:
  colour_role role_;
  HBRUSH brush_ = nullptr;
  COLORREF colour_ = 0;
};

// A button's picture in high contrast: a box filled with the system's
// button colour (the highlight while `active`), framed in its text colour.
void draw_plain_box(HDC dc, const RECT& box, bool active);

// For the GUI tests only: high contrast as if the system reported it (on
// true) whatever SPI_GETHIGHCONTRAST says, so that the drawing can be seen
// under a system that never reports it.
void assume_high_contrast(bool on);

}  // namespace quillary
