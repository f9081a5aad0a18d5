#include "ui/tray_icon_win32.h"

#include <algorithm>

#include "platform/win32.h"

namespace quillary {
namespace {

template <size_t n>
void copy_text(wchar_t (&field)[n], const std::u16string& text) {
  const size_t length = std::min(text.size(), n - 1);
  std::copy_n(reinterpret_cast<const wchar_t*>(text.data()), length, field);
  field[length] = L'\0';
}

}  // namespace

bool tray_icon_c::add(HWND window, UINT id, UINT callback_message, HICON icon, const std::u16string& tip) {
  data_ = NOTIFYICONDATAW{};
  data_.cbSize = sizeof data_;
  data_.hWnd = window;
  data_.uID = id;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callback_message;
  data_.hIcon = icon;
  copy_text(data_.szTip, tip);
  return install();
}

bool tray_icon_c::install() {
  // An add whose answer timed out may have been made after all: then the
  // icon is there to be changed, and a second add would fail.
  installed_ = Shell_NotifyIconW(NIM_ADD, &data_) != 0 || Shell_NotifyIconW(NIM_MODIFY, &data_) != 0;
  return installed_;
}

void tray_icon_c::set_icon(HICON icon) {
  data_.hIcon = icon;
  if (!installed_) return;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void tray_icon_c::show_balloon(const std::u16string& title, const std::u16string& text) {
  if (!installed_) return;
  data_.uFlags = NIF_INFO;
  copy_text(data_.szInfo, text);
  copy_text(data_.szInfoTitle, title);
  data_.dwInfoFlags = NIIF_INFO;
  data_.uTimeout = 0xFFFFFFFF;
  Shell_NotifyIconW(NIM_MODIFY, &data_);
  // Later changes must not show the balloon again.
  data_.szInfo[0] = L'\0';
}

void tray_icon_c::remove() {
  if (!installed_) return;
  Shell_NotifyIconW(NIM_DELETE, &data_);
  installed_ = false;
}

void tray_icon_c::add_again() {
  if (!data_.hWnd) return;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  install();
}

UINT taskbar_created_message() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

}  // namespace quillary
