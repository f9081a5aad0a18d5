// A plain top-level window that stands in for the skinned main window until
// that exists: the same class name and title, so that a second instance
// finds it, and the same answer to UM_ACTIVATE_INSTANCE. It shows the
// system summary.
#pragma once

#include <windows.h>

namespace quillary {

class interim_main_window_c {
 public:
  interim_main_window_c() = default;
  ~interim_main_window_c();
  interim_main_window_c(const interim_main_window_c&) = delete;
  interim_main_window_c& operator=(const interim_main_window_c&) = delete;

  // Registers the class and creates the window, 800 × 600, centred on the
  // work area, not yet shown. False when it cannot be created.
  bool create(HINSTANCE instance);
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void paint();

  HWND window_ = nullptr;
  HFONT title_font_ = nullptr;
  HFONT text_font_ = nullptr;
};

}  // namespace quillary
