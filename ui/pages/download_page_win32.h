// The download page: what the last scan found. It takes the scan's result
// from the main window and keeps the counters the main window's new-driver
// notice reads.
#pragma once

#include <windows.h>

#include <cstdint>

#include "devices/update_package_list.h"
#include "ui/pages/download_counts.h"
#include "ui/window/window_win32.h"

namespace quillary {

class download_window_c : public window_c {
 public:
  bool create(HWND parent, const RECT& rect);

  // A scan finished with `device_count` device instances: rebuild from the
  // device list.
  void take_result(int32_t device_count);
  // A new scan begins: nothing may point into the device list any more.
  void clear_results();
  // Recounted each time the page is shown.
  int32_t out_of_date_count() const { return counts_.out_of_date; }
  // Where the focus goes when the page is shown.
  HWND focus_target() const { return handle(); }

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void recount();
  void paint(HDC dc, const RECT& client);

  update_package_list_c packages_;
  offer_choice choice_ = offer_choice::best;
  download_counts counts_;
  int32_t device_count_ = 0;
  bool has_result_ = false;
};

}  // namespace quillary
