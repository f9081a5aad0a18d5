// The skin's fonts, created once at start-up and kept until the process
// ends; every window uses them by name. Before create_skin_fonts() they
// are null (the system font stands in wherever one is selected).
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/window/display_scale.h"

namespace quillary {

extern HFONT font_arial_8;
extern HFONT font_arial_11;
extern HFONT font_arial_15;
extern HFONT font_arial_16;
extern HFONT font_arial_18;
extern HFONT font_arial_18_bold;
extern HFONT font_arial_25_bold;
extern HFONT font_verdana_8;
extern HFONT font_verdana_8_alt;
extern HFONT font_verdana_10;
extern HFONT font_verdana_8_bold;
extern HFONT font_verdana_9_bold;
extern HFONT font_verdana_10_bold;
extern HFONT font_verdana_12_bold;
extern HFONT font_verdana_12;
extern HFONT font_verdana_14;
extern HFONT font_verdana_16_bold;
extern HFONT font_verdana_16;
extern HFONT font_verdana_18;
extern HFONT font_verdana_22;
extern HFONT font_verdana_25;

// Creates all 21 fonts (a second call changes nothing). Cannot fail: a
// font the system cannot make stays null.
void create_skin_fonts();

// The font of row `index` of skin_font_table.
HFONT skin_font(size_t index);

// One of the fonts above made for `scale`, for the system's controls, which
// draw in their display's pixels: the font itself at 96 DPI (and for a font
// that is not the skin's), else its face and weight at the scaled height,
// made on first use and kept until the process ends. The program's own
// windows draw with the fonts above: their painting is scaled already.
HFONT font_for_controls(HFONT font, display_scale scale);

}  // namespace quillary
