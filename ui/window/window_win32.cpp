#include "ui/window/window_win32.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32.h"
#include "ui/skin/palette.h"
#include "ui/window/accessible_win32.h"
#include "ui/window/display_scale_win32.h"
#include "ui/window/keyboard_focus.h"
#include "ui/window/placement.h"

namespace quillary {
namespace {

// The property that ties a window to its object. A property rather than
// GWLP_USERDATA, which belongs to whoever owns a subclassed control.
constexpr wchar_t object_property[] = L"quillary.window";
// Windows of our own classes keep their object in the class's extra bytes
// as well, where the window procedure reads it: reading a property is a
// round trip to the window server under Wine, and a window that moves gets
// a dozen messages (a scrolled list of panels: a dozen per panel).
constexpr int object_slot = 0;

// Messages whose dialog-procedure answer is the value itself rather than
// DWLP_MSGRESULT.
bool answers_directly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_COMPAREITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

// The scale a window of ours takes when it starts: that of the window of
// ours it lies in, so that a page and its panels never disagree; a window
// of its own takes its display's.
display_scale starting_scale(HWND window) {
  const bool child = (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
  if (const window_c* parent = child ? window_c::from_handle(GetParent(window)) : nullptr) return parent->scale();
  return scale_of_window(window);
}

}  // namespace

window_c::~window_c() {
  if (window_ && IsWindow(window_)) {
    if (original_) {
      unsubclass();
    } else {
      // The object is going: no message may reach it any more.
      HWND window = window_;
      detach();
      DestroyWindow(window);
    }
  }
}

window_c* window_c::from_handle(HWND window) {
  return window ? static_cast<window_c*>(GetPropW(window, object_property)) : nullptr;
}

void window_c::attach(HWND window) {
  window_ = window;
  scale_ = starting_scale(window);
  SetPropW(window, object_property, this);
}

void window_c::detach() {
  // A client may keep the accessible object: from now on it answers that
  // the window is gone.
  disconnect_accessible_object(accessible_);
  accessible_ = nullptr;
  if (window_ && in_slot_) SetWindowLongPtrW(window_, object_slot, 0);
  in_slot_ = false;
  if (window_) RemovePropW(window_, object_property);
  window_ = nullptr;
}

HWND window_c::create(const window_class_info& class_info, HWND parent, const std::u16string& title,
                      DWORD style, DWORD ex_style, const RECT& rect, UINT_PTR id) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(instance, class_info.name, &existing)) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = class_info.style;
    window_class.lpfnWndProc = window_proc;
    window_class.cbWndExtra = sizeof(window_c*);
    window_class.hInstance = instance;
    window_class.hCursor = class_info.cursor ? class_info.cursor : LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = class_info.background;
    window_class.hIcon = class_info.icon;
    window_class.hIconSm = class_info.small_icon;
    window_class.lpszClassName = class_info.name;
    if (!RegisterClassExW(&window_class)) return nullptr;
  }
  // A child's rectangle is in its parent's logical pixels; a window of its
  // own keeps its place on the screen and takes its size at the scale of
  // the display it is created on (the primary one, until it shows where it
  // went).
  const window_c* owner = from_handle(parent);
  const display_scale at = owner ? owner->scale() : parent ? scale_of_window(parent) : system_scale();
  const bool child = (style & WS_CHILD) != 0;
  const RECT place = child ? at.device_rect(rect)
                           : RECT{rect.left, rect.top, rect.left + at.device(rect.right - rect.left),
                                  rect.top + at.device(rect.bottom - rect.top)};
  HWND window = CreateWindowExW(ex_style, class_info.name, wide(title), style, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, parent,
                                reinterpret_cast<HMENU>(id), instance, this);
  // A window whose WM_NCCREATE or WM_CREATE failed is already gone.
  if (!window) {
    detach();
    return nullptr;
  }
  if (!child && window_ == window) {
    const display_scale actual = scale_of_window(window);
    if (actual != at) {
      rescale(actual, RECT{rect.left, rect.top, rect.left + actual.device(rect.right - rect.left),
                           rect.top + actual.device(rect.bottom - rect.top)});
    }
  }
  return window;
}

bool window_c::subclass(HWND window) {
  if (!window || window_ || from_handle(window)) return false;
  attach(window);
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass_proc)));
  if (!original_) {
    detach();
    return false;
  }
  return true;
}

void window_c::unsubclass() {
  if (!window_ || !original_) return;
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
  original_ = nullptr;
  detach();
}

void window_c::destroy() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

bool window_c::handle_message(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

RECT window_c::logical_client() const {
  RECT client{};
  if (window_) GetClientRect(window_, &client);
  return scale_.logical_rect(client);
}

POINT window_c::logical_point(LPARAM lparam) const {
  return POINT{scale_.logical(GET_X_LPARAM(lparam)), scale_.logical(GET_Y_LPARAM(lparam))};
}

void window_c::place_child(HWND child, const RECT& logical, UINT flags) const {
  if (!child) return;
  const RECT r = scale_.device_rect(logical);
  SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               flags | SWP_NOZORDER | SWP_NOACTIVATE);
}

void window_c::set_logical_size(int width, int height) const {
  if (!window_) return;
  SetWindowPos(window_, nullptr, 0, 0, scale_.device(width), scale_.device(height),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void window_c::rescale(display_scale scale, const RECT& device_rect) {
  if (!window_) return;
  std::vector<window_c*> windows{this};
  EnumChildWindows(
      window_,
      [](HWND child, LPARAM found) {
        if (window_c* object = from_handle(child)) reinterpret_cast<std::vector<window_c*>*>(found)->push_back(object);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  for (window_c* w : windows) w->scale_ = scale;
  for (window_c* w : windows) w->on_scale_changed();
  RECT before{};
  GetClientRect(window_, &before);
  SetWindowPos(window_, nullptr, device_rect.left, device_rect.top, device_rect.right - device_rect.left,
               device_rect.bottom - device_rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT after{};
  GetClientRect(window_, &after);
  // The same size in new pixels is another size in logical ones: the
  // window lays itself out again all the same.
  if (EqualRect(&before, &after)) {
    SendMessageW(window_, WM_SIZE, IsZoomed(window_) ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 MAKELPARAM(after.right, after.bottom));
  }
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

LRESULT window_c::default_message(UINT message, WPARAM wparam, LPARAM lparam) {
  if (original_) return CallWindowProcW(original_, window_, message, wparam, lparam);
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool window_c::on_erase_background(HDC) { return paint_style() == painting::buffered; }

void window_c::print_client(HDC dc) {
  const int mode = GetGraphicsMode(dc);
  XFORM transform{};
  GetWorldTransform(dc, &transform);
  draw_in_logical_pixels(dc, scale_);
  on_paint(dc, logical_client());
  SetWorldTransform(dc, &transform);
  SetGraphicsMode(dc, mode);
}

void window_c::paint_client() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT device_client{};
  GetClientRect(window_, &device_client);
  const RECT client = scale_.logical_rect(device_client);
  if (paint_style() == painting::direct) {
    draw_in_logical_pixels(dc, scale_);
    on_paint(dc, client);
    draw_keyboard_focus(dc);
  } else if (device_client.right > 0 && device_client.bottom > 0) {
    HDC canvas = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, device_client.right, device_client.bottom);
    HGDIOBJ previous = SelectObject(canvas, bitmap);
    HBRUSH ground = CreateSolidBrush(colour_of(colour_role::page_ground));
    FillRect(canvas, &device_client, ground);
    DeleteObject(ground);
    draw_in_logical_pixels(canvas, scale_);
    on_paint(canvas, client);
    draw_keyboard_focus(canvas);
    draw_in_device_pixels(canvas);
    BitBlt(dc, 0, 0, device_client.right, device_client.bottom, canvas, 0, 0, SRCCOPY);
    SelectObject(canvas, previous);
    DeleteObject(bitmap);
    DeleteDC(canvas);
  }
  EndPaint(window_, &ps);
}

bool window_c::describe(accessible_view& view) {
  if (!accessible_items(view)) return false;
  const bool has_focus = window_ && GetFocus() == window_;
  if (!has_focus) {
    mark_keyboard_focus(view, std::nullopt);
  } else if (focused_part_) {
    mark_keyboard_focus(view, focused_part_of(view, focused_part_));
  } else {
    // The focus came some other way (a click, a page shown): the window's
    // own element has it, or the part the window says has it.
    mark_focusable(view);
  }
  return true;
}

void window_c::on_keyboard_focus_moved() {
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void window_c::draw_keyboard_focus(HDC dc) {
  if (!window_ || GetFocus() != window_) return;
  accessible_view view;
  if (!describe(view)) return;
  for (const accessible_item& part : view.parts) {
    if (!(part.state & accessible_state::focused) || part.window || part.origin != accessible_origin::client) {
      continue;
    }
    RECT r{part.rect.left, part.rect.top, part.rect.right, part.rect.bottom};
    InflateRect(&r, -2, -2);
    // DrawFocusRect inverts: its dots show on any skin colour.
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &r);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  }
}

bool window_c::handle_plumbing(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_PAINT:
      announce_changes();
      if (paint_style() == painting::none) return false;
      paint_client();
      result = 0;
      return true;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      const int mode = GetGraphicsMode(dc);
      draw_in_logical_pixels(dc, scale_);
      const bool erased = on_erase_background(dc);
      draw_in_device_pixels(dc);
      SetGraphicsMode(dc, mode);
      if (!erased) return false;
      result = 1;
      return true;
    }
    case WM_SIZE:
      result = 0;
      return on_size(static_cast<UINT>(wparam), scale_.logical(LOWORD(lparam)), scale_.logical(HIWORD(lparam)));
    case WM_DPICHANGED:
      // The window went to a display of another scale, or its display's
      // scale changed: the system suggests the rectangle that keeps it
      // where it was, at the new size.
      rescale(display_scale::of(LOWORD(wparam)), *reinterpret_cast<const RECT*>(lparam));
      result = 0;
      return true;
    case WM_TIMER:
      result = 0;
      return on_timer(static_cast<UINT_PTR>(wparam));
    case WM_COMMAND:
      result = 0;
      return on_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
    case WM_GETOBJECT:
      return answer_get_object(wparam, lparam, result);
    default:
      if (message == accessible_action_message()) {
        do_accessible_action(static_cast<int>(wparam));
        result = 0;
        return true;
      }
      return false;
  }
}

std::vector<window_c::announced_item> window_c::announced_items(const accessible_view& view) {
  std::vector<announced_item> items{{view.self.name, view.self.value, view.self.state}};
  for (const accessible_item& part : view.parts) items.push_back({part.name, part.value, part.state});
  return items;
}

void window_c::announce_changes() {
  if (!accessible_ || !window_) return;
  accessible_view view;
  if (!describe(view)) return;
  std::vector<announced_item> now = announced_items(view);
  if (now.size() != announced_.size()) {
    NotifyWinEvent(EVENT_OBJECT_REORDER, window_, OBJID_CLIENT, CHILDID_SELF);
  } else {
    for (size_t i = 0; i < now.size(); ++i) {
      const LONG child = i == 0 ? CHILDID_SELF : child_id_of(i - 1);
      if (now[i].name != announced_[i].name) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_, OBJID_CLIENT, child);
      if (now[i].value != announced_[i].value) NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window_, OBJID_CLIENT, child);
      if (now[i].state != announced_[i].state) NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window_, OBJID_CLIENT, child);
    }
  }
  announced_ = std::move(now);
}

bool window_c::answer_get_object(WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (static_cast<LONG>(lparam) != static_cast<LONG>(OBJID_CLIENT)) return false;
  accessible_view view;
  if (!describe(view)) return false;
  if (!accessible_) {
    accessible_ = make_accessible_object(window_, *this);
    announced_ = announced_items(view);  // what the client reads first
  }
  result = answer_accessible_object(accessible_, wparam);
  return true;
}

bool window_c::take_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  return handle_message(message, wparam, lparam, result) ||
         handle_plumbing(message, wparam, lparam, result);
}

LRESULT window_c::dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  // The focus rectangle of a windowless part shows only while the window
  // has the focus.
  if ((message == WM_SETFOCUS || message == WM_KILLFOCUS) && focused_part_) on_keyboard_focus_moved();
  if (!take_message(message, wparam, lparam, result)) {
    result = default_message(message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) {
    if (original_) {
      SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
      original_ = nullptr;
    }
    detach();
    on_final_message();  // may delete the object: nothing follows
  }
  return result;
}

LRESULT CALLBACK window_c::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<window_c*>(GetWindowLongPtrW(window, object_slot));
  // A class of that name made elsewhere without the extra bytes: the
  // property serves.
  if (!self) self = from_handle(window);
  if (!self && message == WM_NCCREATE) {
    self = static_cast<window_c*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    if (self) {
      self->attach(window);
      if (GetClassLongPtrW(window, GCL_CBWNDEXTRA) >= static_cast<LONG_PTR>(sizeof self)) {
        SetWindowLongPtrW(window, object_slot, reinterpret_cast<LONG_PTR>(self));
        self->in_slot_ = true;
      }
    }
  }
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  return self->dispatch(message, wparam, lparam);
}

LRESULT CALLBACK window_c::subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  window_c* self = from_handle(window);
  // Cannot happen while the procedure is installed; be safe anyway.
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  return self->dispatch(message, wparam, lparam);
}

// --- dialogs ---------------------------------------------------------------

INT_PTR dialog_c::run_modal(HINSTANCE instance, int template_id, HWND parent) {
  modal_ = true;
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(template_id), parent, dialog_proc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR dialog_c::run_modal(const DLGTEMPLATE* dialog_template, HWND parent) {
  modal_ = true;
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog_template, parent, dialog_proc,
                                 reinterpret_cast<LPARAM>(this));
}

HWND dialog_c::create_modeless(HINSTANCE instance, int template_id, HWND parent) {
  modal_ = false;
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(template_id), parent, dialog_proc,
                            reinterpret_cast<LPARAM>(this));
}

HWND dialog_c::create_modeless(const DLGTEMPLATE* dialog_template, HWND parent) {
  modal_ = false;
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialog_template, parent,
                                    dialog_proc, reinterpret_cast<LPARAM>(this));
}

void dialog_c::end_dialog(INT_PTR result) {
  if (!handle()) return;
  if (modal_) {
    EndDialog(handle(), result);
  } else {
    DestroyWindow(handle());
  }
}

LRESULT dialog_c::default_message(UINT message, WPARAM wparam, LPARAM lparam) {
  // The dialog manager calls DefWindowProc for what the dialog leaves; a
  // handler that asks for default processing first gets exactly that.
  return DefWindowProcW(handle(), message, wparam, lparam);
}

INT_PTR CALLBACK dialog_c::dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = static_cast<dialog_c*>(from_handle(window));
  if (!self && message == WM_INITDIALOG) {
    self = reinterpret_cast<dialog_c*>(lparam);
    self->attach(window);
  }
  if (!self) return FALSE;
  LRESULT result = 0;
  const bool handled = self->take_message(message, wparam, lparam, result);
  if (message == WM_NCDESTROY) {
    self->detach();
    self->on_final_message();
    return FALSE;
  }
  if (!handled) return FALSE;
  if (answers_directly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// --- dialog templates in memory ------------------------------------------------

dialog_template_c::dialog_template_c(DWORD style, DWORD ex_style, short x, short y, short cx,
                                     short cy, const std::u16string& title,
                                     const std::u16string& font_face, WORD font_points) {
  style |= DS_SETFONT;
  words_ = {LOWORD(style), HIWORD(style), LOWORD(ex_style), HIWORD(ex_style),
            0,  // item count, counted up by add_item
            static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
            static_cast<WORD>(cy),
            0,    // no menu
            0};   // the dialog class
  add_text(title);
  words_.push_back(font_points);
  add_text(font_face);
}

void dialog_template_c::add_text(const std::u16string& text) {
  for (char16_t c : text) words_.push_back(c);
  words_.push_back(0);
}

void dialog_template_c::align_dword() {
  if (words_.size() % 2) words_.push_back(0);
}

void dialog_template_c::add_item_header(WORD id, DWORD style, short x, short y, short cx, short cy) {
  align_dword();
  words_[4]++;
  style |= WS_CHILD;
  const WORD header[] = {LOWORD(style), HIWORD(style), 0, 0,
                         static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
                         static_cast<WORD>(cy), id};
  words_.insert(words_.end(), std::begin(header), std::end(header));
}

void dialog_template_c::add_item(WORD atom, WORD id, DWORD style, short x, short y, short cx,
                                 short cy, const std::u16string& text) {
  add_item_header(id, style, x, y, cx, cy);
  words_.push_back(0xFFFF);
  words_.push_back(atom);
  add_text(text);
  words_.push_back(0);  // no creation data
}

void dialog_template_c::add_item(const std::u16string& class_name, WORD id, DWORD style, short x,
                                 short y, short cx, short cy, const std::u16string& text) {
  add_item_header(id, style, x, y, cx, cy);
  add_text(class_name);
  add_text(text);
  words_.push_back(0);
}

std::u16string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  return from_wide(text.c_str(), static_cast<size_t>(copied > 0 ? copied : 0));
}

namespace {

screen_box box_of(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

RECT work_area_of(HMONITOR monitor, RECT* monitor_rect = nullptr) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    info.rcWork = info.rcMonitor = work;
  }
  if (monitor_rect) *monitor_rect = info.rcMonitor;
  return info.rcWork;
}

// Where the owner stands for the user: a minimised or hidden window's
// rectangle is far off the screen (-32000 for a minimised one), so its
// restored rectangle counts instead.
RECT owner_rectangle(HWND owner) {
  RECT area{};
  if (!IsIconic(owner) && IsWindowVisible(owner)) {
    GetWindowRect(owner, &area);
    return area;
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(owner, &placement)) {
    GetWindowRect(owner, &area);
    return area;
  }
  area = placement.rcNormalPosition;
  // The restored rectangle of a window that is no tool window counts from
  // the work area's corner rather than the screen's.
  if (!(GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
    RECT monitor{};
    const RECT work = work_area_of(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor);
    OffsetRect(&area, work.left - monitor.left, work.top - monitor.top);
  }
  return area;
}

}  // namespace

void centre_window(HWND window, HWND owner) {
  RECT own{};
  GetWindowRect(window, &own);
  RECT area{};
  HMONITOR monitor = nullptr;
  if (owner && IsWindow(owner)) {
    area = owner_rectangle(owner);
    monitor = MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST);
  } else {
    monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    area = work_area_of(monitor);
  }
  const screen_box place = centred_within(own.right - own.left, own.bottom - own.top,
                                          box_of(area), box_of(work_area_of(monitor)));
  SetWindowPos(window, nullptr, place.left, place.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int clamped_menu_x(int x, int y) {
  const POINT point{x, y};
  if (MonitorFromPoint(point, MONITOR_DEFAULTTONULL)) return x;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info)) return x;
  return std::clamp<int>(x, info.rcWork.left, info.rcWork.right - 1);
}

}  // namespace quillary
