#include "ui/skin/wrapped_text_win32.h"

#include "app/language.h"
#include "platform/win32.h"
#include "ui/skin/text_wrap.h"

namespace quillary {

void draw_wrapped_text(HDC dc, const std::u16string& text, RECT& rect, int line_gap, UINT format) {
  const measure_char measure = [dc](char16_t c) {
    const wchar_t character = static_cast<wchar_t>(c);
    SIZE size{};
    GetTextExtentPoint32W(dc, &character, 1, &size);
    return char_extent{size.cx, size.cy};
  };
  const wrapped_text layout =
      wrap_text(text, rect.right - rect.left, rect.top, rect.bottom, line_gap, measure);
  if (layout.empty) return;

  if ((format & DT_CALCRECT) == 0) {
    // A right-to-left language reads each line from the right: its full
    // stop ends the sentence on the left. The lines stay where they are.
    const UINT reading = language_is_right_to_left() ? DT_RTLREADING : 0;
    for (const wrapped_line& line : layout.lines) {
      const wchar_t* start = wide(text) + line.start;
      if (layout.single_line) {
        RECT box = rect;
        DrawTextW(dc, start, static_cast<int>(line.length), &box,
                  format | reading | DT_SINGLELINE | DT_EXPANDTABS);
      } else if (reading) {
        RECT box{rect.left, line.top, rect.right, line.top + line.height};
        DrawTextW(dc, start, static_cast<int>(line.length), &box,
                  reading | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX | DT_NOCLIP);
      } else {
        TabbedTextOutW(dc, rect.left, line.top, start, static_cast<int>(line.length), 0, nullptr,
                       rect.left);
      }
    }
  }
  rect.bottom = layout.bottom;
}

}  // namespace quillary
