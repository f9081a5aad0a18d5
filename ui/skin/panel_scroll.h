// The arithmetic of the scrolling panel list, apart from its window: how
// tall the stacked panels are, how much of them shows, where the list is
// scrolled to, and what the scroll bar and the wheel do to that.
#pragma once

#include <cstddef>
#include <vector>

namespace quillary {

// Scroll bar requests, numbered as the system numbers them (SB_LINEUP ...).
namespace scroll_code {
constexpr int line_up = 0;
constexpr int line_down = 1;
constexpr int page_up = 2;
constexpr int page_down = 3;
constexpr int thumb_position = 4;
constexpr int thumb_track = 5;
}  // namespace scroll_code

struct panel_scroll {
  int content_height = 0;  // the panels' heights added up
  int widest_panel = 0;
  int position = 0;        // pixels scrolled from the top
  int visible_height = 0;  // the list's client height

  // A panel of this size joins the stack; returns the y it is placed at.
  int add_panel(int width, int height);
  bool overflows() const { return content_height > visible_height; }
  // The position kept within 0 ... content height − visible height + 1.
  void clamp();
  // The position a scroll bar request asks for (`track` is the thumb's
  // track position); unknown codes leave it as it is.
  int position_for(int code, int track) const;
  // One wheel turn of `delta` (120 a notch, positive away from the user);
  // false when the content fits and the wheel does nothing.
  bool wheel(int delta);
  // The position nearest to this one at which a panel at `y` of `height`
  // shows whole (its top, when it is taller than the list): where the list
  // scrolls to when the keyboard focus comes to the panel.
  int position_showing(int y, int height) const;
};

// One panel's place: `y` and `height` in the content, `top` and `width`
// where its window stands now in the list's client area.
struct panel_slot {
  int y = 0;
  int height = 0;
  int top = 0;
  int width = 0;
};

// The panels a layout has to move so that every panel that shows in the
// list (client rows 0 to visible height) stands at its content y less the
// scroll position and is as wide as the list: those that show now or will
// show and stand elsewhere. Their slots take the new top and width. A panel
// out of sight before and after keeps its old place: moving a thousand
// windows for each wheel notch is what made long lists slow, and one out of
// sight is set right before it comes into view.
std::vector<size_t> panels_to_move(std::vector<panel_slot>& slots, int position,
                                   int visible_height, int width);

}  // namespace quillary
