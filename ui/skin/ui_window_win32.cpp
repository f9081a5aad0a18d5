#include "ui/skin/ui_window_win32.h"

#include <cwctype>

#include "ui/window/window_win32.h"

namespace quillary {

std::u16string trimmed_window_text(HWND window) {
  const std::u16string text = window_text(window);
  size_t first = 0, last = text.size();
  while (first < last && std::iswspace(static_cast<wint_t>(text[first]))) ++first;
  while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

void set_rectangular_region(HWND window) {
  RECT bounds{};
  if (!GetWindowRect(window, &bounds)) return;
  HRGN region = CreateRectRgn(0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top);
  // The window owns the region from here on. A window not yet shown has
  // nothing to redraw.
  if (!SetWindowRgn(window, region, IsWindowVisible(window))) DeleteObject(region);
}

}  // namespace quillary
