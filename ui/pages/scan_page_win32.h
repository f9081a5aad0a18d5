// The scan page: drives a scan's two worker threads in turn (the device
// scan, then the update query) from a 200 ms timer, shows their progress in
// five status lines and a progress bar, reports failures, and tells the
// main window how the scan ended.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <thread>

#include "devices/device_record.h"
#include "download/thread_call.h"
#include "platform/clock.h"
#include "service/update_request.h"
#include "ui/pages/scan_status.h"
#include "ui/pages/side_bar_win32.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class scan_window_c : public window_c {
 public:
  scan_window_c();
  ~scan_window_c() override;

  // A hidden child of `parent` (the main window, which receives the
  // scan's messages) filling `rect`.
  bool create(HWND parent, const RECT& rect);

  // A scan starts: phase 0, the start time now, and the 200 ms timer.
  void begin();
  scan_phase phase() const { return phase_; }
  // The main window marks a finished scan's page as not started.
  void reset_phase() { phase_ = scan_phase::not_started; }
  // Whether a worker thread of a scan still runs (at exit the device list
  // and the transfer state must then stay).
  bool workers_running() const;

  static constexpr UINT_PTR timer_id = 1;
  static constexpr UINT timer_period_ms = 200;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  // What the worker threads share with the page; kept alive by a thread
  // that outlives the page (at exit).
  struct scan_job {
    scan_progress progress;
    update_request_info request;
    thread_call scan_call;
    thread_call update_call;
  };

  void tick();
  void start_device_scan();
  void device_scan_ended();
  void update_query_ended();
  // The failure report of a query: the message window's answer, or 2 when
  // the failure has no message.
  int report_query_failure();
  void layout();
  void paint(HDC dc, const RECT& client);
  void paint_status(HDC dc, const RECT& client);
  void paint_progress(HDC dc, const RECT& client);

  std::shared_ptr<scan_job> job_;
  std::unique_ptr<std::thread> scan_thread_;
  std::unique_ptr<std::thread> update_thread_;
  scan_phase phase_ = scan_phase::not_started;
  // Until when the query waits for the system summary (its model).
  uint64_t summary_deadline_ms_ = 0;
  int64_t start_ = 0;
  local_time start_local_;
  bool timer_running_ = false;
  status_area area_;
  skin_image_c header_icon_;
  skin_image_c header_art_;
  side_bar_c side_bar_;
  HBRUSH frame_brush_ = nullptr;
  HBRUSH band_brush_ = nullptr;
};

// Whether any scan's worker thread still runs in the process (at exit the
// device list and the transfer state must then stay).
bool scan_workers_running();

}  // namespace quillary
