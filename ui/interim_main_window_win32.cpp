#include "ui/interim_main_window_win32.h"

#include <string>

#include "app/language.h"
#include "app/system_info.h"
#include "platform/win32.h"
#include "ui/window_messages.h"

namespace quillary {
namespace {

HFONT make_font(int height, int weight) {
  return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"Arial");
}

void draw_text(HDC dc, const std::u16string& text, int x, int y) {
  TextOutW(dc, x, y, wide(text), static_cast<int>(text.size()));
}

}  // namespace

interim_main_window_c::~interim_main_window_c() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  if (title_font_) DeleteObject(title_font_);
  if (text_font_) DeleteObject(text_font_);
}

bool interim_main_window_c::create(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = main_window_class;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(128));
  RegisterClassExW(&window_class);

  RECT work{0, 0, 800, 600};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = 800, height = 600;
  const int x = work.left + ((work.right - work.left) - width) / 2;
  const int y = work.top + ((work.bottom - work.top) - height) / 2;

  title_font_ = make_font(28, FW_BOLD);
  text_font_ = make_font(15, FW_NORMAL);
  window_ = CreateWindowExW(0, main_window_class, main_window_title,
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, width, height, nullptr,
                            nullptr, instance, this);
  return window_ != nullptr;
}

LRESULT CALLBACK interim_main_window_c::window_proc(HWND window, UINT message, WPARAM wparam,
                                                    LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<interim_main_window_c*>(
        reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<interim_main_window_c*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  return self->handle_message(message, wparam, lparam);
}

LRESULT interim_main_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case UM_ACTIVATE_INSTANCE:
      // Shown (a minimised window stays minimised), brought to the front.
      ShowWindow(window_, SW_SHOW);
      SetForegroundWindow(window_);
      BringWindowToTop(window_);
      return 0;
    case WM_PAINT:
      paint();
      return 0;
    case WM_DESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wparam, lparam);
  }
}

void interim_main_window_c::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  SetBkMode(dc, TRANSPARENT);

  RECT band;
  GetClientRect(window_, &band);
  band.bottom = 72;
  HBRUSH blue = CreateSolidBrush(RGB(0x1E, 0x6F, 0xD9));
  FillRect(dc, &band, blue);
  DeleteObject(blue);

  HGDIOBJ previous = SelectObject(dc, title_font_);
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  draw_text(dc, text_of("about_name"), 24, 20);

  SelectObject(dc, text_font_);
  SetTextColor(dc, RGB(0x20, 0x2A, 0x36));
  int y = 96;
  draw_text(dc, text_of("sidebar_system_info"), 24, y);
  y += 32;
  const auto& summary = system_info().summary;
  const std::pair<const char*, const std::u16string*> rows[] = {
      {"sidebar_model", &summary.model},     {"sidebar_os", &summary.os_name},
      {"sidebar_cpu", &summary.processor},   {"sidebar_memory", &summary.memory},
      {"sidebar_storage", &summary.disk},    {"sidebar_display", &summary.display},
      {"sidebar_sound", &summary.sound},
  };
  for (const auto& [key, value] : rows) {
    draw_text(dc, text_of(key), 24, y);
    draw_text(dc, *value, 160, y);
    y += 26;
  }
  SelectObject(dc, previous);
  EndPaint(window_, &ps);
}

}  // namespace quillary
