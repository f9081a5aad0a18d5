// Keyboard focus over the accessible model, apart from any window. The
// order in which Tab moves is the order a screen reader walks: each window's
// parts as it describes them (accessible_model.h), then its child windows,
// depth first. One list of "focus stops" built from that walk is the single
// source of the order; the thin Windows layer builds it, moves the focus and
// runs the keys this file decides on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/window/accessible_model.h"

namespace quillary {

// The part id a stop has when it is a whole child window (a control of the
// system's class, or one of ours that takes the keys itself).
constexpr int whole_window_part = -0x7FFFFFFF;

// One place the keyboard focus can rest.
struct focus_stop {
  uintptr_t owner = 0;   // the window that describes the part (or the whole window)
  int part = whole_window_part;
  // The window that gets the system's focus: the owner for a windowless
  // part, the control for a part that stands for a child window.
  uintptr_t window = 0;
  bool operator==(const focus_stop&) const = default;
};

// Whether a part can take the keyboard focus: a control (button, check box,
// radio button, link) or a part that says it is focusable, shown and
// available.
bool takes_focus(const accessible_item& part);

// Appends to `stops` the stops of one window's parts, in the view's order.
void add_focus_stops(uintptr_t owner, const accessible_view& view, std::vector<focus_stop>& stops);

// The stop after (or before) `current` with wrap-around; the first (or
// last) when `current` is none of them. None when there are no stops.
std::optional<size_t> step_focus(const std::vector<focus_stop>& stops, const std::optional<focus_stop>& current,
                                 bool backwards);

// The part of the view that has the keyboard focus while its window has
// the system's: the one remembered when it is still a stop, else the
// window's first windowless stop (the focus reached the window some other
// way: the window's own first control is the one Enter presses). None when
// the window has no windowless stop.
std::optional<int> focused_part_of(const accessible_view& view, const std::optional<int>& remembered);

// Marks the part `part` of the view focused (and every stop focusable), as
// a client reading the view sees the keyboard focus. The other windowless
// parts lose a focused state they claim; none: no windowless part is
// focused (the window has not the system's focus).
void mark_keyboard_focus(accessible_view& view, const std::optional<int>& part);
// Marks every stop of the view focusable and leaves the focused states as
// the window describes them: the window has the focus, and the keyboard
// has not chosen a part yet.
void mark_focusable(accessible_view& view);

// What a key does to the focus.
enum class key_command { none, next, previous, press, menu };
// Virtual-key numbers of winuser.h, so the Windows layer passes them as
// they come.
namespace virtual_key {
constexpr unsigned tab = 0x09, enter = 0x0D, space = 0x20, f10 = 0x79, apps = 0x5D;
}
// The command of a key going down, with Shift held or not.
key_command command_of_key(unsigned key, bool shift);

// Access keys: Alt and a letter press a control. The controls' names, in
// Tab order, each take a letter of their own: the first free initial of
// one of its words, else its first free letter or digit (A to Z and 0 to 9,
// as the keyboard's virtual keys name them; case is ignored). A name with
// none free, one written without Latin letters (Japanese, Chinese, Arabic:
// there the language does not allow it), and a name that an earlier
// control has already (a second "Download") get none: 0.
std::vector<char16_t> choose_access_keys(const std::vector<std::u16string>& names);
// How a screen reader says the key: "Alt+H"; empty for none.
std::u16string access_key_text(char16_t key);

// Whether the program presses the stop itself (through the owner's default
// action) or leaves the key to the control that has the focus: a whole
// child window takes Enter and Space itself.
bool pressed_by_owner(const focus_stop& stop);

}  // namespace quillary
