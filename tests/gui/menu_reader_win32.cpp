// Answers where an open menu's item is, from inside the program.
#include "tests/gui/menu_reader_win32.h"

#include <cwchar>
#include <string>

namespace quillary::gui {
namespace {

// What a menu shows of an item's text: no access-key ampersands, nothing
// from the tab on (a shortcut's column).
std::wstring shown_text(const std::wstring& text) {
  std::wstring shown;
  for (size_t i = 0; i < text.size() && text[i] != L'\t'; ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  return shown;
}

struct item_search {
  std::wstring text;
  menu_item_place place;
};

BOOL CALLBACK search_menu(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<item_search*>(context);
  wchar_t class_name[16] = {};
  GetClassNameW(window, class_name, 16);
  if (std::wcscmp(class_name, L"#32768") != 0 || !IsWindowVisible(window)) return TRUE;
  // MN_GETHMENU answers only inside the menu's own process.
  HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
  const int count = menu ? GetMenuItemCount(menu) : 0;
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    if (_wcsicmp(shown_text(text).c_str(), search->text.c_str()) != 0) continue;
    RECT r{};
    if (!GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r)) continue;
    search->place = {true, (r.left + r.right) / 2, (r.top + r.bottom) / 2,
                     GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED)};
    return FALSE;
  }
  return TRUE;
}

LRESULT CALLBACK reader_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COPYDATA) return DefWindowProcW(window, message, wparam, lparam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (!data || !data->lpData) return 0;
  item_search search;
  search.text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
  EnumThreadWindows(GetCurrentThreadId(), search_menu, reinterpret_cast<LPARAM>(&search));
  return pack(search.place);
}

}  // namespace

void start_menu_reader(HINSTANCE instance) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = reader_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = menu_reader_class;
  RegisterClassW(&window_class);
  // Never shown; a top-level window so that another process finds it.
  CreateWindowExW(WS_EX_TOOLWINDOW, menu_reader_class, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                  nullptr);
}

}  // namespace quillary::gui
