#include "ui/skin/ui_window_win32.h"

#include <cwctype>

namespace quillary {

std::u16string trimmed_window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int read = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(read > 0 ? read : 0));
  size_t first = 0, last = text.size();
  while (first < last && std::iswspace(text[first])) ++first;
  while (last > first && std::iswspace(text[last - 1])) --last;
  return from_wide(text.c_str() + first, last - first);
}

void set_rectangular_region(HWND window) {
  RECT bounds{};
  if (!GetWindowRect(window, &bounds)) return;
  HRGN region = CreateRectRgn(0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top);
  // The window owns the region from here on.
  if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);
}

}  // namespace quillary
