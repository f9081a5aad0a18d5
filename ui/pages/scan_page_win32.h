// The scan page: runs the scan job (the device scan, then the update
// query) in the background, shows its progress in five status lines and a
// progress bar from a 200 ms timer, reports failures, and tells the main
// window how the scan ended; the finished result is handed over whole.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/clock.h"
#include "service/scan_job.h"
#include "ui/pages/scan_status.h"
#include "ui/pages/side_bar_win32.h"
#include "ui/skin/message_box_layout.h"
#include "ui/skin/palette_win32.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/ui_context.h"
#include "ui/window/background_job.h"
#include "ui/window/window_win32.h"

namespace quillary {

class scan_window_c : public window_c {
 public:
  explicit scan_window_c(ui_context& context);
  ~scan_window_c() override;

  // A hidden child of `parent` (the main window, which receives the
  // scan's messages) filling `rect`.
  bool create(HWND parent, const RECT& rect);

  // A scan starts: the start time now, the progress timer, and the job (at
  // once, or once an earlier scan's job has ended: they share the device
  // source and the update client).
  void begin();
  scan_phase phase() const { return phase_; }
  // The result of the scan that finished (after UM_SCAN_FINISHED), once;
  // null when there is none.
  shared_scan_result take_result() { return std::move(finished_); }

  // The heading, the five status lines and the progress bar, for screen
  // readers.
  bool accessible_items(accessible_view& view) override;

  static constexpr UINT_PTR timer_id = 1;
  static constexpr UINT timer_period_ms = 200;
  // The job's outcome is delivered with this message (WPARAM: its run).
  static constexpr UINT job_done_message = WM_APP + 1;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::buffered; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_size(UINT kind, int width, int height) override;
  bool on_timer(UINT_PTR id) override;

 private:
  void start_job();
  void job_done(uint64_t run);
  void stop_timer();
  void scan_failed();
  // The failure report of a query: the message window's answer, or Cancel
  // when the failure has no message.
  message_answer report_query_failure(const scan_outcome& outcome);
  void layout();
  // The status lines as they read now.
  scan_status_lines current_status_lines(int64_t now) const;
  void paint_status(HDC dc, const RECT& client);
  void paint_progress(HDC dc, const RECT& client);

  ui_context& context_;
  background_job_c<scan_outcome> job_;
  // Shared with the job's thread, which writes it.
  std::shared_ptr<scan_job_progress> progress_ = std::make_shared<scan_job_progress>();
  // A scan asked for while an earlier one's job still ran.
  bool start_when_done_ = false;
  shared_scan_result finished_;
  scan_phase phase_ = scan_phase::not_started;
  int64_t start_ = 0;
  local_time start_local_;
  status_area area_;
  skin_image_c header_icon_;
  skin_image_c header_art_;
  side_bar_c side_bar_;
  role_brush_c frame_brush_{colour_role::side_bar_edge};
  role_brush_c band_brush_{colour_role::side_bar};
};

}  // namespace quillary
