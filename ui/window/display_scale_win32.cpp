#include "ui/window/display_scale_win32.h"

namespace quillary {
namespace {

// Functions of newer systems, looked up once; null where the system has
// none.
template <typename Function>
Function system_function(const wchar_t* module, const char* name) {
  HMODULE library = GetModuleHandleW(module);
  if (!library) library = LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

using get_dpi_for_window_t = UINT(WINAPI*)(HWND);
using get_dpi_for_system_t = UINT(WINAPI*)();
using get_system_metrics_for_dpi_t = int(WINAPI*)(int, UINT);
using get_dpi_for_monitor_t = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

const get_dpi_for_window_t get_dpi_for_window =
    system_function<get_dpi_for_window_t>(L"user32.dll", "GetDpiForWindow");
const get_dpi_for_system_t get_dpi_for_system =
    system_function<get_dpi_for_system_t>(L"user32.dll", "GetDpiForSystem");
const get_system_metrics_for_dpi_t get_system_metrics_for_dpi =
    system_function<get_system_metrics_for_dpi_t>(L"user32.dll", "GetSystemMetricsForDpi");

int screen_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : logical_dpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

display_scale scale_of_window(HWND window) {
  if (get_dpi_for_window && window) {
    if (const UINT dpi = get_dpi_for_window(window)) return display_scale::of(static_cast<int>(dpi));
  }
  // Windows 8.1 and Windows 10 before 1607: the monitor's effective DPI.
  static const auto get_dpi_for_monitor = system_function<get_dpi_for_monitor_t>(L"shcore.dll", "GetDpiForMonitor");
  if (get_dpi_for_monitor && window) {
    UINT x = 0, y = 0;
    constexpr int effective_dpi = 0;  // MDT_EFFECTIVE_DPI
    if (SUCCEEDED(get_dpi_for_monitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), effective_dpi, &x, &y))) {
      return display_scale::of(static_cast<int>(x));
    }
  }
  return display_scale::of(screen_dpi());
}

display_scale system_scale() {
  if (get_dpi_for_system) return display_scale::of(static_cast<int>(get_dpi_for_system()));
  return display_scale::of(screen_dpi());
}

int system_metric(int index, display_scale scale) {
  if (get_system_metrics_for_dpi) return get_system_metrics_for_dpi(index, static_cast<UINT>(scale.dpi));
  // Before Windows 10 1607 the metrics are those of the system's DPI.
  return mul_div(GetSystemMetrics(index), scale.dpi, system_scale().dpi);
}

void draw_in_logical_pixels(HDC dc, display_scale scale) {
  if (scale.unscaled()) return;
  SetGraphicsMode(dc, GM_ADVANCED);
  const auto factor = static_cast<FLOAT>(scale.factor());
  const XFORM transform{factor, 0, 0, factor, 0, 0};
  SetWorldTransform(dc, &transform);
}

void draw_in_device_pixels(HDC dc) {
  if (GetGraphicsMode(dc) == GM_ADVANCED) ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
}

display_scale drawing_scale(HDC dc) {
  XFORM transform{};
  if (GetGraphicsMode(dc) != GM_ADVANCED || !GetWorldTransform(dc, &transform)) return {};
  return display_scale::of(static_cast<int>(transform.eM11 * logical_dpi + 0.5f));
}

}  // namespace quillary
