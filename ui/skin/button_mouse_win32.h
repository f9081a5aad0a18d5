// The mouse of a window that owns windowless skin buttons: moves, presses,
// releases and the pointer leaving go through the three button rules; the
// window is redrawn when a button's look changed. Returns the index of the
// button whose action is to run (the caller runs it last, as it may show
// another window), or -1.
#pragma once

#include <windows.h>

#include "ui/skin/button_rules.h"

namespace quillary {

template <typename Buttons>
int route_button_mouse(HWND window, Buttons& buttons, bool& tracking, UINT message, int x, int y,
                       const RECT& area) {
  button_rule_effect effect;
  switch (message) {
    case WM_MOUSEMOVE:
      effect = apply_hover_rule(buttons, x, y, area, tracking);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      effect = apply_press_rule(buttons, x, y, area);
      if (effect.consumed) SetCapture(window);
      break;
    case WM_LBUTTONUP:
      if (GetCapture() == window) ReleaseCapture();
      effect = apply_click_rule(buttons, x, y, area);
      break;
    default:  // the pointer left the window
      effect = apply_leave_rule(buttons);
      tracking = false;
      break;
  }
  if (effect.start_leave_tracking) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
    tracking = TrackMouseEvent(&track) != 0;
  }
  if (effect.redraw) InvalidateRect(window, nullptr, FALSE);
  return effect.fire;
}

}  // namespace quillary
