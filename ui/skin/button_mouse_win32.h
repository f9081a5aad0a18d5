// The mouse of a window that owns windowless skin buttons: moves, presses,
// releases and the pointer leaving go through the three button rules; the
// window is redrawn when a button's look changed. Returns the index of the
// button whose action is to run (the caller runs it last, as it may show
// another window), or -1.
#pragma once

#include <windows.h>
#include <windowsx.h>

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

// For a message map: the mouse messages go to the window's buttons, and a
// button's action runs on `owner` last; false for every other message.
template <typename Owner, typename Buttons>
bool handle_button_mouse(Owner& owner, HWND window, Buttons& buttons, bool& tracking, UINT message,
                         LPARAM lparam) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSELEAVE: {
      // The buttons' places are logical pixels, as the owner's.
      const RECT client = owner.logical_client();
      const bool left = message == WM_MOUSELEAVE;
      const POINT at = left ? POINT{} : owner.logical_point(lparam);
      const int fire = route_button_mouse(window, buttons, tracking, message, at.x, at.y, client);
      if (fire >= 0) buttons[static_cast<size_t>(fire)]->click(owner);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quillary
