#include "ui/pages/download_page_win32.h"

#include "app/language.h"
#include "devices/device_inventory.h"
#include "platform/text.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {

bool download_window_c::create(HWND parent, const RECT& rect) {
  static const window_class_info info{L"DownloadWindow", CS_DBLCLKS, nullptr, nullptr};
  return window_c::create(info, parent, u"", WS_CHILD | WS_CLIPCHILDREN, 0, rect) != nullptr;
}

void download_window_c::take_result(int32_t device_count) {
  device_count_ = device_count;
  has_result_ = true;
  device_record* devices = nullptr;
  size_t count = 0;
  if (device_inventory_c* inventory = device_inventory()) inventory->get_devices(devices, count);
  packages_.build(devices, count, choice_);
  recount();
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_window_c::clear_results() {
  packages_ = update_package_list_c();
  has_result_ = false;
}

void download_window_c::recount() {
  device_record* devices = nullptr;
  size_t count = 0;
  if (has_result_ && device_inventory()) device_inventory()->get_devices(devices, count);
  counts_ = count_devices(devices, count, choice_);
}

bool download_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (wparam) recount();
      return false;
    case WM_PAINT:
      paint_buffered(handle(), [this](HDC dc, const RECT& client) { paint(dc, client); });
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

void download_window_c::paint(HDC dc, const RECT&) {
  const int out_of_date = counts_.out_of_date;
  const std::u16string heading = out_of_date == 0   ? text_of("download_new_drivers_found3")
                                 : out_of_date < 9 ? text_of("download_new_drivers_found1")
                                                   : text_of("download_new_drivers_found2") +
                                                         ascii_to_utf16(std::to_string(out_of_date));
  draw_text_at(dc, heading, 15, 10, font_verdana_12_bold, page_colour::heading);
}

}  // namespace quillary
