// Word-wrapped text in a rectangle, as the message box and the home,
// download and about pages draw their paragraphs.
#pragma once

#include <windows.h>

#include <string>

namespace quillary {

// Draws `text` with the device context's font, colour and background mode
// from the rectangle's top-left corner, breaking lines at blanks, tabs and
// line feeds (or inside a word too long for a line), `line_gap` pixels
// between lines, and stops before a line that would pass the rectangle's
// bottom. Afterwards the rectangle's bottom is where the last line laid out
// ends. A text that needs no break is drawn in one DrawText call with
// `format` | DT_SINGLELINE | DT_EXPANDTABS (so DT_VCENTER centres it);
// DT_CALCRECT in `format` only measures. An empty text changes nothing.
void draw_wrapped_text(HDC dc, const std::u16string& text, RECT& rect, int line_gap, UINT format);

}  // namespace quillary
