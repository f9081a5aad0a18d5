#include "ui/window/link_win32.h"

#include "app/language.h"

#include <commctrl.h>
#include <windowsx.h>

#include "platform/win32.h"
#include "ui/skin/palette.h"

namespace quillary {
namespace {

bool read_colour_value(HKEY key, const wchar_t* name, COLORREF& colour) {
  wchar_t text[64] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  return parse_anchor_colour(from_wide(text), colour);
}

}  // namespace

bool parse_anchor_colour(const std::u16string& text, COLORREF& colour) {
  int parts[3] = {};
  int count = 0;
  bool digits = false;
  for (char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      if (count > 2) return false;
      parts[count] = parts[count] * 10 + (c - u'0');
      if (parts[count] > 255) return false;
      digits = true;
    } else if (c == u',') {
      if (!digits) return false;
      ++count;
      digits = false;
    } else if (c != u' ') {
      return false;
    }
  }
  if (count != 2 || !digits) return false;
  colour = RGB(parts[0], parts[1], parts[2]);
  return true;
}

anchor_colours read_anchor_colours() {
  anchor_colours colours;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0,
                    KEY_READ, &key) == ERROR_SUCCESS) {
    read_colour_value(key, L"Anchor Color", colours.normal);
    read_colour_value(key, L"Anchor Color Visited", colours.visited);
    RegCloseKey(key);
  }
  return colours;
}

link_c::~link_c() {
  if (tool_tip_ && IsWindow(tool_tip_)) DestroyWindow(tool_tip_);
  if (underlined_) DeleteObject(underlined_);
}

HWND link_c::create(HWND parent, const RECT& rect, const std::u16string& text,
                    const std::u16string& target, UINT id) {
  // In the parent's logical pixels, as every place of the program's.
  const window_c* owner = from_handle(parent);
  const RECT place = owner ? owner->scale().device_rect(rect) : rect;
  HWND control = CreateWindowExW(0, L"STATIC", wide(text), WS_CHILD | WS_VISIBLE | SS_NOTIFY,
                                 place.left, place.top, place.right - place.left,
                                 place.bottom - place.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (!control) return nullptr;
  if (!subclass(control, target)) {
    DestroyWindow(control);
    return nullptr;
  }
  return control;
}

bool link_c::subclass(HWND control, const std::u16string& target) {
  if (!window_c::subclass(control)) return false;
  target_ = target;
  prepare();
  return true;
}

void link_c::prepare() {
  colours_ = read_anchor_colours();
  // Focusable, so that Enter and Space reach it; notifying, so that the
  // static control passes the mouse on.
  const LONG_PTR style = GetWindowLongPtrW(handle(), GWL_STYLE);
  SetWindowLongPtrW(handle(), GWL_STYLE, style | SS_NOTIFY | WS_TABSTOP);
  make_underlined_font(reinterpret_cast<HFONT>(SendMessageW(handle(), WM_GETFONT, 0, 0)));

  tool_tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(handle()),
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  // A link with no target to name has no tip.
  if (tool_tip_ && !target_.empty()) {
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(handle());
    tool.uId = reinterpret_cast<UINT_PTR>(handle());
    tool.lpszText = const_cast<wchar_t*>(wide(target_));
    SendMessageW(tool_tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void link_c::set_font(HFONT font) {
  if (!handle()) return;
  SendMessageW(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void link_c::make_underlined_font(HFONT base) {
  LOGFONTW font{};
  if (!base) base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  GetObjectW(base, sizeof font, &font);
  font.lfUnderline = TRUE;
  HFONT made = CreateFontIndirectW(&font);
  if (underlined_) DeleteObject(underlined_);
  underlined_ = made;
}

COLORREF link_c::text_colour() const {
  // A link that cannot be followed must not look as if it could.
  if (handle() && !IsWindowEnabled(handle())) return GetSysColor(COLOR_GRAYTEXT);
  // The browser's anchor colours need not read on a high-contrast ground.
  if (text_role_) return colour_of(*text_role_);
  if (plain_skin()) return colour_of(colour_role::link_text);
  return visited_ ? colours_.visited : colours_.normal;
}

bool link_c::accessible_items(accessible_view& view) {
  view.self.role = accessible_role::link;
  view.self.name = window_text(handle());
  view.self.value = target_;
  view.self.state = accessible_state::focusable | accessible_state::linked;
  if (GetFocus() == handle()) view.self.state |= accessible_state::focused;
  if (visited_) view.self.state |= accessible_state::traversed;
  if (!IsWindowEnabled(handle())) view.self.state |= accessible_state::unavailable;
  view.self.default_action = text_of("access_open");
  return true;
}

bool link_c::navigate() {
  if (action_) {
    action_();
    return true;
  }
  if (target_.empty()) return false;
  shell_i& shell = shell_ ? *shell_ : platform::system_shell();
  const bool opened = shell.open(target_, u"");
  if (opened && !visited_) {
    visited_ = true;
    InvalidateRect(handle(), nullptr, TRUE);
  }
  return opened;
}

bool link_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      result = TRUE;
      return true;
    case WM_SETFONT:
      result = default_message(message, wparam, lparam);
      make_underlined_font(reinterpret_cast<HFONT>(wparam));
      if (LOWORD(lparam)) InvalidateRect(handle(), nullptr, TRUE);
      return true;
    case WM_GETDLGCODE: {
      // Characters for Space; Enter too, which a dialog would otherwise
      // give to its default button.
      result = DLGC_WANTCHARS;
      const auto* key = reinterpret_cast<const MSG*>(lparam);
      if (key && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
          key->wParam == VK_RETURN) {
        result |= DLGC_WANTMESSAGE;
      }
      return true;
    }
    case WM_CHAR:
      if (wparam == VK_RETURN || wparam == VK_SPACE) {
        navigate();
        return true;
      }
      return false;
    case WM_LBUTTONDOWN:
      SetFocus(handle());
      SetCapture(handle());
      pressed_ = true;
      return true;
    case WM_LBUTTONUP: {
      if (!pressed_) return false;
      pressed_ = false;
      ReleaseCapture();
      RECT client = logical_client();
      const POINT point = logical_point(lparam);
      if (PtInRect(&client, point)) navigate();
      return true;
    }
    case WM_ENABLE:
      // The static control would paint its own plain text here.
      InvalidateRect(handle(), nullptr, TRUE);
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(handle(), nullptr, TRUE);
      return false;
    case WM_PRINTCLIENT:
      print_client(reinterpret_cast<HDC>(wparam));
      return true;
    default:
      return false;
  }
}

void link_c::on_paint(HDC dc, const RECT& area) {
  RECT client = area;
  // The parent chooses the background as it does for any static text.
  HWND parent = GetParent(handle());
  HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageW(
      parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(handle())));
  if (!background) background = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &client, background);

  const std::u16string text = window_text(handle());
  const int length = static_cast<int>(text.size());

  HGDIOBJ previous_font = underlined_ ? SelectObject(dc, underlined_) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text_colour());
  RECT text_rect = client;
  DrawTextW(dc, wide(text), length, &text_rect, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_CALCRECT);
  DrawTextW(dc, wide(text), length, &client, DT_LEFT | DT_TOP | DT_NOPREFIX);
  if (GetFocus() == handle()) {
    IntersectRect(&text_rect, &text_rect, &client);
    DrawFocusRect(dc, &text_rect);
  }
  if (previous_font) SelectObject(dc, previous_font);
}

}  // namespace quillary
