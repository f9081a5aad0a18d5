// The skinned frame of every dialog-like window of the program: a flat blue
// caption band of the window's own height, a border of nested lines, the
// title, and windowless caption buttons, all drawn into the non-client
// area. T derives from ui_window_c<T> besides its window or dialog base
// (window_c, dialog_c) and hands every message to handle_frame_message
// first:
//
//   bool handle_message(UINT m, WPARAM w, LPARAM l, LRESULT& r) override {
//     if (handle_frame_message(m, w, l, r)) return true;
//     ...
//   }
//
// T may replace the drawing of the frame's contents by defining its own
// paint_frame_contents(HDC, const RECT&) (the main window adds its header).
#pragma once

#include <windows.h>
#include <windowsx.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/skin/button_rules.h"
#include "ui/skin/button_win32.h"
#include "ui/skin/palette_win32.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/window/display_scale_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

// The window's title without white space at either end.
std::u16string trimmed_window_text(HWND window);

// Makes the window's region the plain rectangle of the whole window (no
// rounded corners).
void set_rectangular_region(HWND window);

template <typename T>
class ui_window_c {
 public:
  explicit ui_window_c(int skin_caption) : skin_caption_height(skin_caption) {}
  virtual ~ui_window_c() = default;
  ui_window_c(const ui_window_c&) = delete;
  ui_window_c& operator=(const ui_window_c&) = delete;

  // In logical pixels, as every size of the skin.
  int system_caption_height = 0;  // SM_CYCAPTION
  int frame_width = 0;            // the border's thickness, left and right
  int frame_height = 0;           // top and bottom
  int skin_caption_height;
  bool dialog_frame = false;      // the thinner border of a dialog
  // Caption buttons, in drawing and hit-test order; owned.
  std::vector<std::unique_ptr<button_c<T>>> buttons;
  bool tracking = false;  // non-client mouse-leave tracking requested
  bool handled = false;   // whether the last message was consumed

  // Appends a caption button; returns it for its action to be set.
  template <typename Button>
  Button* add_button(std::unique_ptr<Button> button) {
    Button* raw = button.get();
    buttons.push_back(std::move(button));
    return raw;
  }

  // The caption buttons as screen readers' elements, measured from the
  // window's corner; their ids start at `frame_part_id`. They lie in the
  // non-client area, but the window's own object (OBJID_WINDOW) and its
  // title bar are the system's, which knows nothing of them: the window
  // lists them among the parts of its client object, where a reader walking
  // the window finds them first.
  void add_frame_parts(std::vector<accessible_item>& parts) const {
    const RECT area = frame_area();
    for (size_t i = 0; i < buttons.size(); ++i) {
      accessible_item item = buttons[i]->accessible(frame_part_id + static_cast<int>(i), area);
      item.origin = accessible_origin::window;
      parts.push_back(std::move(item));
    }
  }
  // A skinned dialog as screen readers read it: a dialog named by its
  // caption, with the caption's buttons (its controls answer for
  // themselves).
  bool describe_as_dialog(accessible_view& view) const {
    view.self.role = accessible_role::dialog;
    view.self.name = window_text(frame_handle());
    add_frame_parts(view.parts);
    return true;
  }
  // Runs the action of the caption button `id` as its click does; false
  // when `id` is no caption button's.
  bool frame_part_action(int id) {
    const int index = id - frame_part_id;
    if (index < 0 || index >= static_cast<int>(buttons.size())) return false;
    buttons[static_cast<size_t>(index)]->click(*static_cast<T*>(this));
    return true;
  }
  static constexpr int frame_part_id = 1000;

  // Reads the system's caption and border sizes at the window's scale:
  // when the window starts and when its scale changes.
  void measure_frame();
  // Paints the whole frame now.
  void paint_frame();
  // The window's rectangle moved to (0, 0): the area of the caption buttons.
  RECT frame_area() const;

  // Steps 3 to 6 of the frame's painting, each usable on its own.
  void paint_frame_contents(HDC dc, const RECT& window) {
    fill_caption_band(dc, window);
    draw_border(dc, window);
    draw_caption_title(dc, 10, 10);
    draw_buttons(dc, window);
  }
  void fill_caption_band(HDC dc, const RECT& window);
  void draw_border(HDC dc, const RECT& window);
  void draw_caption_title(HDC dc, int x, int y);
  void draw_buttons(HDC dc, const RECT& window);
  // The focus rectangle of the caption or header button that has the
  // keyboard focus, if one has.
  void draw_frame_focus(HDC dc);

 protected:
  // The non-client message map: true when the message is consumed.
  bool handle_frame_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void set_window_region() { set_rectangular_region(frame_handle()); }

 private:
  HWND frame_handle() const { return static_cast<const T*>(this)->handle(); }
  POINT window_point(LPARAM lparam) const;
  void apply(const button_rule_effect& effect);
};

// --- implementation ----------------------------------------------------------

// The hit-test codes of the borders that resize a window.
inline bool is_resizing_edge(LRESULT hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT:
    case HTTOP:
    case HTTOPLEFT:
    case HTTOPRIGHT:
    case HTBOTTOM:
    case HTBOTTOMLEFT:
    case HTBOTTOMRIGHT:
      return true;
    default:
      return false;
  }
}

template <typename T>
void ui_window_c<T>::measure_frame() {
  const display_scale scale = static_cast<const T*>(this)->scale();
  system_caption_height = scale.logical(system_metric(SM_CYCAPTION, scale));
  frame_width = scale.logical(system_metric(dialog_frame ? SM_CXDLGFRAME : SM_CXFRAME, scale));
  frame_height = scale.logical(system_metric(dialog_frame ? SM_CYDLGFRAME : SM_CYFRAME, scale));
}

template <typename T>
RECT ui_window_c<T>::frame_area() const {
  RECT window{};
  GetWindowRect(frame_handle(), &window);
  OffsetRect(&window, -window.left, -window.top);
  return static_cast<const T*>(this)->scale().logical_rect(window);
}

template <typename T>
POINT ui_window_c<T>::window_point(LPARAM lparam) const {
  RECT window{};
  GetWindowRect(frame_handle(), &window);
  const display_scale scale = static_cast<const T*>(this)->scale();
  return POINT{scale.logical(GET_X_LPARAM(lparam) - window.left), scale.logical(GET_Y_LPARAM(lparam) - window.top)};
}

template <typename T>
void ui_window_c<T>::apply(const button_rule_effect& effect) {
  if (effect.start_leave_tracking) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_NONCLIENT, frame_handle(), 100};
    TrackMouseEvent(&track);
    tracking = true;
  }
  if (effect.redraw) paint_frame();
  if (effect.fire >= 0 && effect.fire < static_cast<int>(buttons.size())) {
    buttons[static_cast<size_t>(effect.fire)]->click(*static_cast<T*>(this));
  }
}

template <typename T>
bool ui_window_c<T>::handle_frame_message(UINT message, WPARAM wparam, LPARAM lparam,
                                          LRESULT& result) {
  handled = false;
  switch (message) {
    case WM_NCCREATE:
      dialog_frame = false;
      measure_frame();
      break;
    case WM_INITDIALOG:
      dialog_frame = true;
      measure_frame();
      // The dialog's first size calculation ran before it knew its caption
      // height: calculate again.
      SetWindowPos(frame_handle(), nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
      break;
    case WM_NCCALCSIZE: {
      RECT* proposed = wparam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lparam)->rgrc[0]
                              : reinterpret_cast<RECT*>(lparam);
      // The system then takes its own caption and the border off the rest.
      const display_scale scale = static_cast<const T*>(this)->scale();
      proposed->top += scale.device(skin_caption_height) - system_metric(SM_CYCAPTION, scale);
      break;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // Only top-level windows hear of a theme change, and every one of the
      // program's has this frame.
      on_theme_change(frame_handle());
      break;
    case WM_NCPAINT:
      paint_frame();
      result = 0;
      handled = true;
      break;
    case WM_NCACTIVATE:
      if (IsIconic(frame_handle())) break;
      paint_frame();
      result = wparam ? FALSE : TRUE;
      handled = true;
      break;
    case WM_SETTEXT: {
      // The system draws its own caption with a new title; draw ours over it.
      result = DefWindowProcW(frame_handle(), message, wparam, lparam);
      paint_frame();
      handled = true;
      break;
    }
    case WM_NCHITTEST: {
      // The whole skinned caption band, not just the system's own caption
      // height at its top, drags the window (and a double click there
      // maximises a window that can be maximised). The resizing edges and
      // the client area stay as the system finds them; over a caption
      // button the button rules take the press, so no drag starts there.
      result = DefWindowProcW(frame_handle(), message, wparam, lparam);
      handled = true;
      if (result == HTCLIENT || is_resizing_edge(result)) break;
      POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ScreenToClient(frame_handle(), &p);
      if (p.y < 0) result = HTCAPTION;
      break;
    }
    case WM_NCMOUSEMOVE: {
      const POINT p = window_point(lparam);
      apply(apply_hover_rule(buttons, p.x, p.y, frame_area(), tracking));
      break;  // default processing always follows
    }
    case WM_NCLBUTTONDOWN: {
      const POINT p = window_point(lparam);
      const button_rule_effect effect = apply_press_rule(buttons, p.x, p.y, frame_area());
      apply(effect);
      handled = effect.consumed;
      result = 0;
      break;
    }
    case WM_NCLBUTTONUP: {
      const POINT p = window_point(lparam);
      const button_rule_effect effect = apply_click_rule(buttons, p.x, p.y, frame_area());
      handled = effect.consumed;
      result = 0;
      // The action may end the window and this object with it: answer from
      // a local, touching no member after it has run.
      const bool consumed = effect.consumed;
      apply(effect);
      return consumed;
    }
    case WM_NCLBUTTONDBLCLK: {
      const POINT p = window_point(lparam);
      handled = any_button_under(buttons, p.x, p.y, frame_area());
      result = 0;
      break;
    }
    case WM_NCMOUSELEAVE:
      apply(apply_leave_rule(buttons));
      tracking = false;
      result = 0;
      handled = true;
      break;
    default:
      break;
  }
  return handled;
}

template <typename T>
void ui_window_c<T>::paint_frame() {
  HWND window_handle = frame_handle();
  if (!window_handle || !IsWindow(window_handle)) return;
  RECT window{};
  GetWindowRect(window_handle, &window);
  RECT client{};
  GetClientRect(window_handle, &client);
  MapWindowPoints(window_handle, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -window.left, -window.top);
  OffsetRect(&window, -window.left, -window.top);
  if (window.right <= 0 || window.bottom <= 0) return;

  HDC dc = GetWindowDC(window_handle);
  if (!dc) return;
  HDC canvas = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, window.right, window.bottom);
  HGDIOBJ previous = SelectObject(canvas, bitmap);
  const display_scale scale = static_cast<const T*>(this)->scale();
  draw_in_logical_pixels(canvas, scale);
  static_cast<T*>(this)->paint_frame_contents(canvas, scale.logical_rect(window));
  draw_frame_focus(canvas);
  draw_in_device_pixels(canvas);
  // The client area is the window's own business.
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  BitBlt(dc, 0, 0, window.right, window.bottom, canvas, 0, 0, SRCCOPY);
  SelectObject(canvas, previous);
  DeleteObject(bitmap);
  DeleteDC(canvas);
  ReleaseDC(window_handle, dc);
}

template <typename T>
void ui_window_c<T>::fill_caption_band(HDC dc, const RECT& window) {
  HBRUSH band = CreateSolidBrush(colour_of(colour_role::caption_band));
  // The whole window, beneath everything, so that no part of the frame stays
  // unpainted when the system's border is wider than the lines drawn. The
  // caption band is this colour too, so this one fill paints it as well.
  FillRect(dc, &window, band);
  DeleteObject(band);
}

template <typename T>
void ui_window_c<T>::draw_border(HDC dc, const RECT& window) {
  RECT line = window;
  HBRUSH outer = CreateSolidBrush(colour_of(colour_role::outer_border));
  FrameRect(dc, &line, outer);
  DeleteObject(outer);
  HBRUSH inner = CreateSolidBrush(colour_of(colour_role::caption_band));
  for (int i = 1; i < frame_width; ++i) {
    InflateRect(&line, -1, -1);
    FrameRect(dc, &line, inner);
  }
  DeleteObject(inner);
}

template <typename T>
void ui_window_c<T>::draw_caption_title(HDC dc, int x, int y) {
  const std::u16string title = trimmed_window_text(frame_handle());
  if (title.empty()) return;
  HGDIOBJ previous = font_verdana_8_bold ? SelectObject(dc, font_verdana_8_bold) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour_of(colour_role::caption_title));
  TextOutW(dc, x, y, wide(title), static_cast<int>(title.size()));
  if (previous) SelectObject(dc, previous);
}

template <typename T>
void ui_window_c<T>::draw_frame_focus(HDC dc) {
  const T& self = *static_cast<const T*>(this);
  if (!self.handle() || GetFocus() != self.handle()) return;
  const std::optional<int> part = self.focused_part();
  if (!part) return;
  const int index = *part - frame_part_id;
  if (index < 0 || index >= static_cast<int>(buttons.size())) return;
  const skin_box box = buttons[static_cast<size_t>(index)]->place_in(frame_area());
  RECT r{box.left, box.top, box.right, box.bottom};
  InflateRect(&r, -2, -2);
  const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
  DrawFocusRect(dc, &r);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
}

template <typename T>
void ui_window_c<T>::draw_buttons(HDC dc, const RECT& window) {
  for (auto& button : buttons) button->draw(dc, window);
}

}  // namespace quillary
