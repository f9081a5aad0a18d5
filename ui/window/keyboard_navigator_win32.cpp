#include "ui/window/keyboard_navigator_win32.h"

#include <algorithm>

#include "ui/window/window_win32.h"

namespace quillary {
namespace {

HWND handle_of(uintptr_t window) { return reinterpret_cast<HWND>(window); }
uintptr_t number_of(HWND window) { return reinterpret_cast<uintptr_t>(window); }

bool is_key_down(UINT message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }
bool is_key_up(UINT message) { return message == WM_KEYUP || message == WM_SYSKEYUP; }

// The child id a client knows the owner's part `part` by; 0 when it has none.
long child_id_of_part(window_c& owner, int part) {
  accessible_view view;
  if (!owner.describe(view)) return CHILDID_SELF;
  for (size_t i = 0; i < view.parts.size(); ++i) {
    if (view.parts[i].id == part) return child_id_of(i);
  }
  return CHILDID_SELF;
}

// The name a stop goes by: its part's, or its window's text.
std::u16string name_of_stop(const focus_stop& stop) {
  if (stop.part == whole_window_part) return window_text(handle_of(stop.window));
  window_c* owner = window_c::from_handle(handle_of(stop.owner));
  accessible_view view;
  if (!owner || !owner->accessible_items(view)) return {};
  for (const accessible_item& part : view.parts) {
    if (part.id == stop.part) return part.name;
  }
  return {};
}

constexpr wchar_t navigator_property[] = L"quillary.keyboard";

// A button window that is pressed, not ticked: the system's push buttons
// and ours, which draw themselves (owner-drawn).
bool is_push_button(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (_wcsicmp(name, L"Button") != 0) return false;
  const LONG_PTR type = GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

}  // namespace

keyboard_navigator_c::~keyboard_navigator_c() {
  if (root_ && IsWindow(root_) && GetPropW(root_, navigator_property) == this) RemovePropW(root_, navigator_property);
}

void keyboard_navigator_c::set_root(HWND root) {
  root_ = root;
  if (root_) SetPropW(root_, navigator_property, this);
}

const keyboard_navigator_c* keyboard_navigator_c::of(HWND window) {
  HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
  return root ? static_cast<const keyboard_navigator_c*>(GetPropW(root, navigator_property)) : nullptr;
}

std::vector<char16_t> keyboard_navigator_c::access_keys(const std::vector<focus_stop>& stops) const {
  std::vector<std::u16string> names;
  names.reserve(stops.size());
  for (const focus_stop& stop : stops) names.push_back(name_of_stop(stop));
  return choose_access_keys(names);
}

std::u16string keyboard_navigator_c::shortcut_of(HWND owner, int part) const {
  const std::vector<focus_stop> all = stops();
  const std::vector<char16_t> keys = access_keys(all);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].owner == number_of(owner) && all[i].part == part) return access_key_text(keys[i]);
  }
  return {};
}

bool keyboard_navigator_c::press_access_key(char16_t key) {
  const std::vector<focus_stop> all = stops();
  const std::vector<char16_t> keys = access_keys(all);
  for (size_t i = 0; i < all.size(); ++i) {
    if (keys[i] != key) continue;
    const focus_stop stop = all[i];
    move_to(stop);
    if (pressed_by_owner(stop)) {
      if (window_c* owner = window_c::from_handle(handle_of(stop.owner))) owner->do_accessible_action(stop.part);
    } else {
      // A control of the system's (a check box) or one of ours that takes
      // its keys itself: clicked as the mouse clicks it.
      SendMessageW(handle_of(stop.window), BM_CLICK, 0, 0);
    }
    return true;
  }
  return false;
}

UINT focus_into_view_message() {
  static const UINT message = RegisterWindowMessageW(L"quillary.focus_into_view");
  return message;
}

void keyboard_navigator_c::walk(HWND window, std::vector<focus_stop>& stops) const {
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return;
  std::vector<uintptr_t> stood_for;
  window_c* object = window_c::from_handle(window);
  accessible_view view;
  if (object && object->describe(view)) {
    // A control of ours that takes its keys itself (a bitmap button, a
    // link) is one stop as a whole.
    if (window != root_ && (view.self.state & accessible_state::focusable)) {
      stops.push_back(focus_stop{number_of(window), whole_window_part, number_of(window)});
    }
    add_focus_stops(number_of(window), view, stops);
    for (const accessible_item& part : view.parts) {
      if (part.window) stood_for.push_back(part.window);
    }
  } else if (window != root_ && (GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP)) {
    stops.push_back(focus_stop{number_of(window), whole_window_part, number_of(window)});
  }
  // The child windows follow the parts, as a client walking the tree
  // finds them.
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (std::find(stood_for.begin(), stood_for.end(), number_of(child)) != stood_for.end()) continue;
    walk(child, stops);
  }
}

std::vector<focus_stop> keyboard_navigator_c::stops() const {
  std::vector<focus_stop> found;
  if (root_) walk(root_, found);
  return found;
}

std::optional<focus_stop> keyboard_navigator_c::current(const std::vector<focus_stop>& stops) const {
  HWND focus = GetFocus();
  if (!focus) return std::nullopt;
  if (window_c* object = window_c::from_handle(focus)) {
    accessible_view view;
    if (object->describe(view)) {
      if (const std::optional<int> part = focused_part_of(view, object->focused_part())) {
        const focus_stop stop{number_of(focus), *part, number_of(focus)};
        if (std::find(stops.begin(), stops.end(), stop) != stops.end()) return stop;
      }
    }
  }
  for (const focus_stop& stop : stops) {
    if (stop.window == number_of(focus)) return stop;
  }
  return std::nullopt;
}

void keyboard_navigator_c::move_to(const focus_stop& stop) {
  HWND before = GetFocus();
  window_c* old_owner = before ? window_c::from_handle(before) : nullptr;
  window_c* owner = window_c::from_handle(handle_of(stop.owner));
  const bool windowless = stop.part != whole_window_part && stop.window == stop.owner;
  if (old_owner && old_owner != owner && old_owner->focused_part()) {
    // Cleared before the focus leaves, so WM_KILLFOCUS will not redraw it:
    // its focus rectangle goes now.
    old_owner->set_focused_part(std::nullopt);
    old_owner->on_keyboard_focus_moved();
  }
  if (owner && windowless) owner->set_focused_part(stop.part);
  if (before != handle_of(stop.window)) SetFocus(handle_of(stop.window));
  // Drawn again now that the focus is there, whether WM_SETFOCUS came or
  // the focus moved inside the window.
  if (owner && windowless) owner->on_keyboard_focus_moved();
  for (HWND above = GetParent(handle_of(stop.window)); above && above != root_; above = GetParent(above)) {
    SendMessageW(above, focus_into_view_message(), static_cast<WPARAM>(stop.window), 0);
  }
  // The system tells clients when a window gets the focus; a windowless
  // part's focus only this window knows of.
  if (owner && windowless) {
    NotifyWinEvent(EVENT_OBJECT_FOCUS, handle_of(stop.owner), OBJID_CLIENT, child_id_of_part(*owner, stop.part));
  }
}

bool keyboard_navigator_c::take_key(const MSG& message) {
  if (!root_ || !(is_key_down(message.message) || is_key_up(message.message))) return false;
  if (message.hwnd != root_ && !IsChild(root_, message.hwnd)) return false;
  // Alt and a letter or digit: an access key (a key held down presses once).
  const auto key = static_cast<unsigned>(message.wParam);
  const bool letter = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
  if (message.message == WM_SYSKEYDOWN && letter && GetKeyState(VK_CONTROL) >= 0) {
    if (message.lParam & (1 << 30)) return true;
    return press_access_key(static_cast<char16_t>(key));
  }
  // Alt and Ctrl with these keys mean something else (Alt+Tab, Ctrl+Tab).
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const key_command command = command_of_key(static_cast<unsigned>(message.wParam), shift);
  if (command == key_command::none) return false;
  if (is_key_up(message.message)) {
    // The menu keys' release would make the default window procedure ask
    // for the context menu a second time.
    return command == key_command::menu;
  }
  const bool repeated = (message.lParam & (1 << 30)) != 0;
  const std::vector<focus_stop> all = stops();
  const std::optional<focus_stop> at = current(all);
  switch (command) {
    case key_command::next:
    case key_command::previous: {
      std::optional<size_t> next = step_focus(all, at, command == key_command::previous);
      // The focus is on a window that is no stop itself (a page, the list
      // of panels): Tab goes on from just before its first stop.
      if (!at && GetFocus()) {
        for (size_t i = 0; i < all.size(); ++i) {
          HWND window = handle_of(all[i].window);
          if (window != GetFocus() && !IsChild(GetFocus(), window)) continue;
          next = command == key_command::next ? i : (i + all.size() - 1) % all.size();
          break;
        }
      }
      if (next) move_to(all[*next]);
      return true;
    }
    case key_command::press: {
      if (!at) return false;
      if (!pressed_by_owner(*at)) {
        // A push button of its own window takes Space itself, but outside
        // a dialog nothing gives it Enter: pressed here as a click.
        if (message.wParam != VK_RETURN || !is_push_button(handle_of(at->window))) return false;
        if (!repeated) SendMessageW(handle_of(at->window), BM_CLICK, 0, 0);
        return true;
      }
      if (repeated) return true;
      if (window_c* owner = window_c::from_handle(handle_of(at->owner))) owner->do_accessible_action(at->part);
      return true;
    }
    case key_command::menu: {
      if (repeated) return true;
      HWND target = at ? handle_of(at->window) : GetFocus();
      if (!target) target = root_;
      // What Windows sends for the keyboard: the point is (-1, -1), and the
      // window puts the menu by its focused part.
      PostMessageW(target, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), static_cast<LPARAM>(-1));
      return true;
    }
    case key_command::none:
      break;
  }
  return false;
}

}  // namespace quillary
