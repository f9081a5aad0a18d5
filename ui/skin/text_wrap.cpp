#include "ui/skin/text_wrap.h"

#include <algorithm>

namespace quillary {
namespace {

bool is_break(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

// Characters at the end of a line that are not drawn.
size_t drawn_length(const std::u16string& text, size_t start, size_t end) {
  while (end > start && (text[end - 1] == u'\n' || text[end - 1] == u'\r')) --end;
  return end - start;
}

}  // namespace

wrapped_text wrap_text(const std::u16string& text, int width, int top, int bottom, int line_gap,
                       const measure_char& measure) {
  wrapped_text result;
  if (text.empty()) return result;
  result.empty = false;

  size_t position = 0;
  int y = top;
  bool broke = false;
  for (;;) {
    const size_t start = position;
    int line_width = 0, line_height = 0;
    size_t i = start;
    bool line_feed = false;
    while (i < text.size()) {
      const char_extent extent = measure(text[i]);
      line_height = std::max(line_height, extent.height);
      if (text[i] == u'\n') {
        line_feed = true;
        break;
      }
      if (line_width + extent.width > width) break;
      line_width += extent.width;
      ++i;
    }

    if (i >= text.size()) {
      // The text ends within this line.
      if (y + line_height <= bottom) {
        result.single_line = !broke;
        result.lines.push_back({start, drawn_length(text, start, text.size()), y, line_height});
      }
      result.bottom = y + line_height;
      return result;
    }

    // Break after the last blank, tab or line feed up to the character that
    // overflowed (or the line feed); without one, that character starts the
    // next line.
    size_t end = i;
    if (line_feed) {
      end = i + 1;
    } else {
      for (size_t j = i + 1; j-- > start;) {
        if (is_break(text[j])) {
          end = j + 1;
          break;
        }
      }
    }
    // A character wider than the whole column still takes a line of its
    // own, so that the walk always moves on.
    if (end == start) end = start + 1;

    if (y + line_height > bottom) {
      result.bottom = y + line_height;
      return result;
    }
    result.lines.push_back({start, drawn_length(text, start, end), y, line_height});
    y += line_height + line_gap;
    position = end;
    broke = true;
    if (position >= text.size()) {
      // The text ended with the line feed that broke the last line: what
      // follows is an empty line of no height.
      result.bottom = y;
      return result;
    }
  }
}

}  // namespace quillary
