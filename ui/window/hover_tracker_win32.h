// Whether the pointer is over a control. Windows only reports the pointer
// leaving a window when asked to, once per request, so the tracker asks
// again after each leave.
#pragma once

#include <windows.h>

namespace quillary {

class hover_tracker_c {
 public:
  // Call on WM_MOUSEMOVE; true when the pointer has just come over.
  bool mouse_moved(HWND window) {
    if (!tracking_) {
      TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, HOVER_DEFAULT};
      tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    if (hovered_) return false;
    hovered_ = true;
    return true;
  }

  // Call on WM_MOUSELEAVE; true when the pointer was over until now.
  bool mouse_left() {
    tracking_ = false;
    if (!hovered_) return false;
    hovered_ = false;
    return true;
  }

  bool hovered() const { return hovered_; }

 private:
  bool hovered_ = false;
  bool tracking_ = false;
};

}  // namespace quillary
