// Where draw_wrapped_text breaks a text into lines, apart from the device
// context: characters are measured one by one through a callback, and the
// result says which part of the text goes on which line at which height.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillary {

struct char_extent {
  int width = 0;
  int height = 0;
};

struct wrapped_line {
  size_t start = 0;   // first character of the line in the text
  size_t length = 0;  // characters to draw (a line feed that ends it is not drawn)
  int top = 0;
  int height = 0;
};

struct wrapped_text {
  std::vector<wrapped_line> lines;  // the lines that fit, to be drawn
  // True when the text went on one line without any break: it is then drawn
  // in one call with the caller's format flags (vertical centring works).
  bool single_line = false;
  // Where the last line that was laid out (drawn or not) ends.
  int bottom = 0;
  bool empty = true;  // nothing at all: the rectangle stays as it is
};

using measure_char = std::function<char_extent(char16_t)>;

// Lays `text` out in a column `width` wide from `top` down to `bottom`,
// `line_gap` pixels between lines.
wrapped_text wrap_text(const std::u16string& text, int width, int top, int bottom, int line_gap,
                       const measure_char& measure);

}  // namespace quillary
