#include "ui/pages/scan_page_win32.h"

#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "app/language.h"
#include "app/outcome.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "service/update_client.h"
#include "ui/window/post_to_window_win32.h"
#include "ui/pages/home_layout.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/window_messages.h"

namespace quillary {
namespace {

constexpr int line_gap = 10;
constexpr int band_reach_x = 15;
constexpr int band_reach_y = 5;
constexpr int waiting_box_width = 200;
constexpr int waiting_box_height = 40;
// One of the three fixed English texts: it shows whatever the language.
constexpr char16_t scan_devices_error[] = u"Scan Devices Error";
// The summary takes about half a second; a scan waits this long for it from
// its start, then asks without the computer's model.
constexpr uint64_t summary_wait_ms = 20000;

}  // namespace

scan_window_c::scan_window_c(ui_context& context) : context_(context), job_(context.work), side_bar_(context.system) {}

scan_window_c::~scan_window_c() {
  // A job still running at exit ends with the process; it owns its progress.
}

bool scan_window_c::create(HWND parent, const RECT& rect) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  header_icon_.load(instance, bitmap_scan_header_icon);
  header_art_.load(instance, bitmap_scan_header_art);
  side_bar_.load(instance);
  frame_brush_.get();
  band_brush_.get();
  // While a scan runs the pointer says so, and the page stays usable.
  static const window_class_info info{L"QuillaryScanPage", CS_DBLCLKS, LoadCursorW(nullptr, IDC_APPSTARTING),
                                      nullptr};
  if (!window_c::create(info, parent, u"", WS_CHILD | WS_CLIPCHILDREN, 0, rect)) return false;
  layout();
  return true;
}

void scan_window_c::begin() {
  phase_ = scan_phase::not_started;
  finished_.reset();
  start_ = platform::current_calendar_time();
  start_local_ = platform::local_time_of(start_);
  SetTimer(handle(), timer_id, timer_period_ms, nullptr);
  // An earlier scan's job works on the same device source: this one waits
  // for its end, whose outcome is then dropped.
  if (job_.running()) {
    start_when_done_ = true;
  } else {
    start_job();
  }
  InvalidateRect(handle(), nullptr, TRUE);
  UpdateWindow(handle());
}

void scan_window_c::start_job() {
  start_when_done_ = false;
  phase_ = scan_phase::scanning_devices;
  // A fresh record for each job: an abandoned job may still write its own.
  progress_ = std::make_shared<scan_job_progress>();
  progress_->all_devices = context_.settings.values().scan_offline != 0 ? 1 : 0;
  const auto progress = progress_;
  device_inventory_c& inventory = context_.inventory;
  update_client_c& updates = context_.updates;
  const system_info_c& system = context_.system;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(summary_wait_ms);
  // The query names the computer's model, which the start-up's summary
  // reads in the background: the job waits for it, but not for a WMI
  // query that hangs; until it is ready its thread may write it. The
  // interface language is read here, on the window's thread, where the
  // settings dialog changes it.
  const uint16_t ui_language = ui_language_id();
  const request_source request = [&system, deadline, ui_language] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const bool ready = system.wait_for_summary(std::max(left, std::chrono::milliseconds(0)));
    return request_for_system(system.snapshot(), ready, ui_language);
  };
  const bool started = job_.start([&inventory, &updates, request, progress] {
    return run_scan_job(inventory, updates, request, *progress);
  }, post_to_window(handle(), job_done_message));
  if (!started) scan_failed();
}

void scan_window_c::stop_timer() { KillTimer(handle(), timer_id); }

void scan_window_c::scan_failed() {
  // No timer runs while the message is up: its ticks would come in
  // through the message's own loop.
  stop_timer();
  phase_ = scan_phase::not_started;
  const HWND main_window = GetParent(handle());
  show_message(main_window, scan_devices_error, message_kind::failure);
  PostMessageW(main_window, UM_SCAN_ABANDONED, 0, 0);
}

void scan_window_c::job_done(uint64_t run) {
  std::optional<scan_outcome> outcome = job_.take(run);
  if (!outcome) return;
  // The name shown points into the devices, which go with the outcome
  // unless a page keeps them.
  progress_->current_name = nullptr;
  if (start_when_done_) {
    start_job();
    return;
  }
  if (outcome->failed == scan_outcome::step::devices) {
    scan_failed();
    return;
  }
  stop_timer();
  phase_ = scan_phase::not_started;
  const HWND main_window = GetParent(handle());
  if (outcome->failed == scan_outcome::step::none) {
    finished_ = std::move(outcome->result);
    PostMessageW(main_window, UM_SCAN_FINISHED, 0, 0);
    return;
  }
  const message_answer answer = report_query_failure(*outcome);
  PostMessageW(main_window, answer == message_answer::cancel ? UM_SCAN_ABANDONED : UM_START_SCAN, 0, 0);
}

message_answer scan_window_c::report_query_failure(const scan_outcome& outcome) {
  const std::u16string text = query_failure_message(outcome.failure.code, outcome.request);
  if (text.empty()) return message_answer::cancel;
  return show_message(GetParent(handle()), text, message_kind::retry);
}

bool scan_window_c::on_timer(UINT_PTR id) {
  // Only the progress is drawn: the job's end comes as a message.
  if (id == timer_id) {
    if (progress_->querying.load() && phase_ == scan_phase::scanning_devices) phase_ = scan_phase::querying;
    InvalidateRect(handle(), nullptr, FALSE);
    UpdateWindow(handle());
  }
  return true;
}

bool scan_window_c::on_size(UINT, int, int) {
  layout();
  InvalidateRect(handle(), nullptr, FALSE);
  return true;
}

bool scan_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == job_done_message) {
    job_done(static_cast<uint64_t>(wparam));
    return true;
  }
  return window_c::handle_message(message, wparam, lparam, result);
}

void scan_window_c::layout() {
  RECT client = logical_client();
  HDC dc = GetDC(handle());
  const SIZE text = text_extent(dc, widest_status_text(), font_verdana_10);
  ReleaseDC(handle(), dc);
  area_ = place_status_area(client.right, client.bottom, text.cx, text.cy);
}

void scan_window_c::on_paint(HDC dc, const RECT& client) {
  const int main_right = client.right - side_bar_width - 10;
  header_icon_.draw(dc, 15, 15);
  header_art_.draw(dc, main_right - header_art_.width(), 15);
  draw_text_at(dc, text_of("scan_scanning"), 80, 28, font_verdana_16_bold, colour_of(colour_role::heading));
  RECT frame{10, 85, main_right, client.bottom - 60};
  FrameRect(dc, &frame, frame_brush_.get());
  draw_text_at(dc, text_of("scan_scanning_your_computer"), area_.left, area_.top - 60, font_verdana_12_bold,
               colour_of(colour_role::heading));
  paint_status(dc, client);
  paint_progress(dc, client);
  side_bar_.paint(dc, client, side_bar_indent(false, language_code(), side_bar_c::widest_label(dc)));
}

bool scan_window_c::accessible_items(accessible_view& view) {
  RECT client = logical_client();
  view.self.role = accessible_role::pane;
  view.self.name = text_of("scan_scanning");
  accessible_item heading;
  heading.role = accessible_role::static_text;
  heading.name = text_of("scan_scanning_your_computer");
  heading.state = accessible_state::read_only;
  heading.rect = {area_.left, area_.top - 60, area_.right, area_.top - 40};
  view.parts.push_back(std::move(heading));
  const scan_status_lines lines = current_status_lines(platform::current_calendar_time());
  for (size_t i = 0; i < lines.size(); ++i) {
    accessible_item line;
    line.role = accessible_role::static_text;
    line.name = lines[i];
    line.state = accessible_state::read_only;
    const int top = area_.top + static_cast<int>(i) * (area_.line_height + line_gap);
    line.rect = {area_.left, top, area_.right, top + area_.line_height};
    view.parts.push_back(std::move(line));
  }
  accessible_item bar;
  bar.role = accessible_role::progress_bar;
  bar.name = text_of("scan_scanning_your_computer");
  const int permille = progress_permille(progress_->current.load(), progress_->total.load());
  bar.value = ascii_to_utf16(std::to_string(permille / 10)) + u"%";
  bar.state = accessible_state::read_only;
  bar.rect = {10, client.bottom - 40, client.right - side_bar_width - 10, client.bottom - 20};
  view.parts.push_back(std::move(bar));
  side_bar_.add_parts(view.parts, client);
  return true;
}

scan_status_lines scan_window_c::current_status_lines(int64_t now) const {
  scan_status_input input;
  input.phase = phase_;
  input.start_local = start_local_;
  input.start = start_;
  input.now = now;
  input.items = progress_->current.load();
  // The name lives in the device list, which only the scan thread changes;
  // its records never move while it runs.
  if (const char16_t* name = progress_->current_name.load()) input.current_item = name;
  return status_lines(input);
}

void scan_window_c::paint_status(HDC dc, const RECT& client) {
  const int64_t now = platform::current_calendar_time();
  const scan_status_lines lines = current_status_lines(now);
  const UINT reading = language_is_right_to_left() ? DT_RTLREADING : 0;

  for (size_t i = 0; i < lines.size(); ++i) {
    const int top = area_.top + static_cast<int>(i) * (area_.line_height + line_gap);
    if (i % 2 == 0) {
      RECT band{area_.left - band_reach_x, top - band_reach_y, area_.right + band_reach_x,
                top + area_.line_height + band_reach_y};
      FillRect(dc, &band, band_brush_.get());
    }
    RECT line{area_.left, top, area_.right, top + area_.line_height};
    HGDIOBJ previous = SelectObject(dc, font_verdana_10);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour_of(colour_role::side_bar_text));
    // A long device name ends in an ellipsis rather than running on.
    DrawTextW(dc, wide(lines[i]), -1, &line, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | reading);
    SelectObject(dc, previous);
  }

  if (phase_ == scan_phase::querying) {
    const int main_width = client.right - side_bar_width;
    const int left = (main_width - waiting_box_width) / 2;
    const int top = (area_.bottom + (client.bottom - 60) - waiting_box_height) / 2;
    RECT box{left, top, left + waiting_box_width, top + waiting_box_height};
    FillRect(dc, &box, band_brush_.get());
    const std::u16string waiting = text_of("scan_waiting") + animated_dots(now);
    RECT text{left + 45, top, box.right, box.bottom};
    HGDIOBJ previous = SelectObject(dc, font_verdana_10);
    SetTextColor(dc, colour_of(colour_role::scan_waiting_text));
    DrawTextW(dc, wide(waiting), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | reading);
    SelectObject(dc, previous);
  }
}

void scan_window_c::paint_progress(HDC dc, const RECT& client) {
  RECT bar{10, client.bottom - 40, client.right - side_bar_width - 10, client.bottom - 20};
  FillRect(dc, &bar, band_brush_.get());
  FrameRect(dc, &bar, frame_brush_.get());
  const int permille = progress_permille(progress_->current.load(), progress_->total.load());
  if (permille > 0) {
    RECT filled{bar.left + 1, bar.top + 1, bar.left + 1 + (bar.right - bar.left - 2) * permille / 1000, bar.bottom - 1};
    HBRUSH fill = CreateSolidBrush(colour_of(colour_role::scan_progress_fill));
    FillRect(dc, &filled, fill);
    DeleteObject(fill);
  }
}

}  // namespace quillary
