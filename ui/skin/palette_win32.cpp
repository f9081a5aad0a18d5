#include "ui/skin/palette_win32.h"

namespace quillary {

static_assert(static_cast<int>(system_colour::active_caption) == COLOR_ACTIVECAPTION);
static_assert(static_cast<int>(system_colour::window) == COLOR_WINDOW);
static_assert(static_cast<int>(system_colour::window_frame) == COLOR_WINDOWFRAME);
static_assert(static_cast<int>(system_colour::window_text) == COLOR_WINDOWTEXT);
static_assert(static_cast<int>(system_colour::caption_text) == COLOR_CAPTIONTEXT);
static_assert(static_cast<int>(system_colour::highlight) == COLOR_HIGHLIGHT);
static_assert(static_cast<int>(system_colour::highlight_text) == COLOR_HIGHLIGHTTEXT);
static_assert(static_cast<int>(system_colour::button_face) == COLOR_BTNFACE);
static_assert(static_cast<int>(system_colour::gray_text) == COLOR_GRAYTEXT);
static_assert(static_cast<int>(system_colour::button_text) == COLOR_BTNTEXT);
static_assert(static_cast<int>(system_colour::hot_light) == COLOR_HOTLIGHT);

namespace {
bool assumed_high_contrast = false;
}  // namespace

uint32_t system_colours_win32_c::colour(system_colour index) const {
  return GetSysColor(static_cast<int>(index));
}

bool high_contrast_on() {
  if (assumed_high_contrast) return true;
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)) return false;
  return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void refresh_program_palette() {
  program_palette().use(high_contrast_on(), system_colours_win32_c{});
}

void on_theme_change(HWND window) {
  refresh_program_palette();
  // The system repaints only what its colours touch; the skin's own
  // drawing changes everywhere.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

HBRUSH role_brush_c::get() {
  const COLORREF colour = colour_of(role_);
  if (brush_ && colour == colour_) return brush_;
  reset();
  brush_ = CreateSolidBrush(colour);
  colour_ = colour;
  return brush_;
}

void role_brush_c::reset() {
  if (brush_) DeleteObject(brush_);
  brush_ = nullptr;
}

void draw_plain_box(HDC dc, const RECT& box, bool active) {
  HBRUSH ground = CreateSolidBrush(colour_of(active ? colour_role::button_active_ground : colour_role::button_ground));
  FillRect(dc, &box, ground);
  DeleteObject(ground);
  HBRUSH frame = CreateSolidBrush(colour_of(colour_role::button_frame));
  FrameRect(dc, &box, frame);
  DeleteObject(frame);
}

void assume_high_contrast(bool on) {
  assumed_high_contrast = on;
  refresh_program_palette();
}

}  // namespace quillary
