// The program's icon in the notification area: added, changed, a balloon
// on it, removed; added again when the taskbar comes back (Explorer
// restarted), which otherwise loses it for good.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace quillary {

class tray_icon_c {
 public:
  tray_icon_c() = default;
  ~tray_icon_c() { remove(); }
  tray_icon_c(const tray_icon_c&) = delete;
  tray_icon_c& operator=(const tray_icon_c&) = delete;

  // Messages come to `window` as `callback_message` with wParam = `id`.
  // False when the shell did not take it (it is busy at log-on, and its
  // answer can time out): the caller adds it again later, and an icon the
  // shell did add after all is then found and kept.
  bool add(HWND window, UINT id, UINT callback_message, HICON icon, const std::u16string& tip);
  // Changes are made only while the icon is installed.
  void set_icon(HICON icon);
  // An information balloon; `text` is cut to what the record holds.
  void show_balloon(const std::u16string& title, const std::u16string& text);
  void remove();
  // After the taskbar was created anew: the icon as it was.
  void add_again();
  bool installed() const { return installed_; }
  HICON icon() const { return data_.hIcon; }

 private:
  bool install();

  NOTIFYICONDATAW data_{};
  bool installed_ = false;
};

// The message the taskbar broadcasts when it is created (Explorer started
// again).
UINT taskbar_created_message();

}  // namespace quillary
