// The keyboard for a top-level window of ours and everything in it: Tab and
// Shift+Tab move the focus through the stops of its accessible tree
// (keyboard_focus.h), windowless parts and child windows alike; Enter and
// Space press the focused part as a click does; the menu key and Shift+F10
// ask the focused window for its context menu. The window's message filter
// hands each message to take_key before it is dispatched. Alt and a
// control's access key (keyboard_focus.h) press the control.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "ui/window/keyboard_focus.h"

namespace quillary {

// Sent to each window between the newly focused window and the top-level
// one (WPARAM: the focused window), for a scrolling list to bring the
// focused control into view.
UINT focus_into_view_message();

class keyboard_navigator_c {
 public:
  keyboard_navigator_c() = default;
  ~keyboard_navigator_c();
  keyboard_navigator_c(const keyboard_navigator_c&) = delete;
  keyboard_navigator_c& operator=(const keyboard_navigator_c&) = delete;
  void set_root(HWND root);

  // The navigator of the top-level window that `window` is in, if it has one.
  static const keyboard_navigator_c* of(HWND window);
  // The access key of a stop (the owner's part, or the whole window with
  // whole_window_part) as a screen reader says it: "Alt+H"; empty for none.
  std::u16string shortcut_of(HWND owner, int part) const;

  // True when the message was a key this object answered; it is then not
  // to be dispatched.
  bool take_key(const MSG& message);

  // The stops of the window's tree now, in Tab order.
  std::vector<focus_stop> stops() const;
  // The stop that has the focus now, if it is one of `stops`.
  std::optional<focus_stop> current(const std::vector<focus_stop>& stops) const;
  // Gives the stop the focus: the system's to its window, the remembered
  // part to its owner.
  void move_to(const focus_stop& stop);

 private:
  void walk(HWND window, std::vector<focus_stop>& stops) const;
  // The access keys of the stops, in their order.
  std::vector<char16_t> access_keys(const std::vector<focus_stop>& stops) const;
  // Alt and a letter: presses the stop whose key it is. False when no stop has it.
  bool press_access_key(char16_t key);
  HWND root_ = nullptr;
};

}  // namespace quillary
