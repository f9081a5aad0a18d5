#include "ui/window/bitmap_button_win32.h"

#include "app/language.h"

#include <string>

#include "platform/win32.h"
#include "ui/window/display_scale_win32.h"
#include "ui/skin/palette_win32.h"

namespace quillary {
namespace {

// The focus rectangle's distance from the button's edge.
constexpr int focus_inset = 3;

}  // namespace

bool bitmap_button_c::subclass(HWND button) {
  if (!window_c::subclass(button)) return false;
  // Owner drawn: the control keeps its clicking, keyboard and focus
  // behaviour but paints nothing itself; this object paints. Whether the
  // template made it the default button is kept here, where the dialog
  // manager asks from now on.
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
  default_ = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  SetWindowLongPtrW(button, GWL_STYLE, (style & ~LONG_PTR{BS_TYPEMASK}) | BS_OWNERDRAW);
  size_to_image();
  InvalidateRect(button, nullptr, TRUE);
  return true;
}

void bitmap_button_c::size_to_image() {
  int width = 0, height = 0;
  if (!handle() || !images_ || !ImageList_GetIconSize(images_, &width, &height)) return;
  SetWindowPos(handle(), nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool bitmap_button_c::pushed() const {
  return handle() && (SendMessageW(handle(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

bool bitmap_button_c::accessible_items(accessible_view& view) {
  view.self.role = accessible_role::push_button;
  view.self.name = window_text(handle());
  view.self.state = accessible_state::focusable;
  if (focused()) view.self.state |= accessible_state::focused;
  if (pushed()) view.self.state |= accessible_state::pressed;
  if (hovering()) view.self.state |= accessible_state::hot_tracked;
  if (!IsWindowEnabled(handle())) view.self.state |= accessible_state::unavailable;
  view.self.default_action = text_of("access_press");
  return true;
}

void bitmap_button_c::do_accessible_action(int) {
  // BM_CLICK presses and releases the button as the mouse does: BN_CLICKED
  // goes to the parent.
  if (handle() && IsWindowEnabled(handle())) SendMessageW(handle(), BM_CLICK, 0, 0);
}

bool bitmap_button_c::focused() const { return handle() && GetFocus() == handle(); }

int bitmap_button_c::visible_state() const {
  if (handle() && !IsWindowEnabled(handle())) return 3;
  if (pushed()) return 1;
  // The focused button is the one Enter and Space answer: it looks lit.
  if (hover_.hovered() || focused()) return 2;
  return 0;
}

bool bitmap_button_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_GETDLGCODE:
      // An owner-drawn control answers DLGC_BUTTON alone, which the dialog
      // manager takes for no push button: it would never make it the
      // default, and Enter would answer with the template's default
      // whatever has the focus. As a push button it becomes the default
      // when it takes the focus, and Enter clicks it.
      result = DLGC_BUTTON | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
      return true;
    case BM_SETSTYLE: {
      // The dialog manager moves the default with BS_DEFPUSHBUTTON and
      // BS_PUSHBUTTON; the control must stay owner drawn, or it would paint
      // a system button over the image.
      default_ = (wparam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      result = default_message(message, (wparam & ~WPARAM{BS_TYPEMASK}) | BS_OWNERDRAW, lparam);
      InvalidateRect(handle(), nullptr, FALSE);
      return true;
    }
    case WM_PRINTCLIENT:
      print_client(reinterpret_cast<HDC>(wparam));
      return true;
    case WM_MOUSEMOVE:
      if (hover_.mouse_moved(handle())) InvalidateRect(handle(), nullptr, FALSE);
      return false;
    case WM_MOUSELEAVE:
      if (hover_.mouse_left()) InvalidateRect(handle(), nullptr, FALSE);
      return false;
    case WM_ENABLE:
    case WM_SETTEXT:
    case BM_SETSTATE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The control changes its pushed state (or text) while handling
      // these; show the result.
      result = default_message(message, wparam, lparam);
      if (handle()) InvalidateRect(handle(), nullptr, FALSE);
      return true;
    case WM_LBUTTONDBLCLK:
      // A quick second click is a click, not a double click.
      result = default_message(WM_LBUTTONDOWN, wparam, lparam);
      InvalidateRect(handle(), nullptr, FALSE);
      return true;
    default:
      return false;
  }
}

void bitmap_button_c::on_paint(HDC dc, const RECT& area) {
  RECT client = area;  // DrawTextW takes it writable
  int index = -1;
  switch (visible_state()) {
    case 3: index = indexes_.disabled; break;
    case 1: index = indexes_.pushed; break;
    case 2: index = indexes_.hover; break;
    default: break;
  }
  if (index < 0) index = indexes_.normal;
  const bool plain = plain_skin();
  if (plain) {
    draw_plain_box(dc, client, visible_state() == 1);
  } else if (images_ && index >= 0 && index < ImageList_GetImageCount(images_)) {
    // The list holds the pictures in the display's pixels (see
    // build_skin_image_list): drawn as they are, not scaled again.
    draw_in_device_pixels(dc);
    ImageList_Draw(images_, index, dc, 0, 0, ILD_NORMAL);
    draw_in_logical_pixels(dc, scale());
  }
  if (focused()) {
    // Besides the lit image (a button without one would show no change).
    RECT focus = client;
    InflateRect(&focus, -focus_inset, -focus_inset);
    DrawFocusRect(dc, &focus);
  }

  const std::u16string text = window_text(handle());
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  HGDIOBJ previous_font = font_ ? SelectObject(dc, font_) : nullptr;
  const int previous_mode = SetBkMode(dc, TRANSPARENT);
  // The colour set for the skin's picture does not read on the user's.
  const COLORREF label = !plain ? text_colour_
                         : visible_state() == 3 ? colour_of(colour_role::button_disabled_text)
                         : visible_state() == 1 ? colour_of(colour_role::top_button_selected)
                                                : colour_of(colour_role::button_text);
  const COLORREF previous_colour = SetTextColor(dc, label);
  DrawTextW(dc, wide(text), length, &client, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  SetTextColor(dc, previous_colour);
  SetBkMode(dc, previous_mode);
  if (previous_font) SelectObject(dc, previous_font);
}

}  // namespace quillary
