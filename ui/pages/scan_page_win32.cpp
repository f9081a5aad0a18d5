#include "ui/pages/scan_page_win32.h"

#include <algorithm>
#include <atomic>

#include "app/language.h"
#include "app/last_error.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "devices/device_inventory.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "service/update_client.h"
#include "ui/pages/home_layout.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/window_messages.h"

namespace quillary {
namespace {

constexpr int line_gap = 10;
constexpr int band_reach_x = 15;
constexpr int band_reach_y = 5;
constexpr int waiting_box_width = 200;
constexpr int waiting_box_height = 40;
constexpr COLORREF waiting_text = RGB(255, 0, 0);
constexpr COLORREF progress_fill = RGB(76, 146, 206);
// One of the three fixed English texts: it shows whatever the language.
constexpr char16_t scan_devices_error[] = u"Scan Devices Error";
// The summary takes about half a second; a scan waits this long for it from
// its start, then asks without the computer's model.
constexpr uint64_t summary_wait_ms = 20000;

// Worker threads of scans that have not ended, process-wide: counted
// before a thread starts, uncounted as its function returns.
std::atomic<int> running_workers{0};

struct worker_counted {
  ~worker_counted() { --running_workers; }
};

std::unique_ptr<std::thread> start_counted(thread_call& call, std::shared_ptr<void> owner) {
  ++running_workers;
  auto thread = start_thread_call(call, std::move(owner));
  if (!thread) --running_workers;
  return thread;
}

int run_device_scan(void* job) {
  const worker_counted counted;
  device_inventory_c* inventory = device_inventory();
  if (!inventory) return -1;
  return inventory->scan_devices(*static_cast<scan_progress*>(job));
}

int run_update_query(void* job) {
  const worker_counted counted;
  auto& request = *static_cast<update_request_info*>(job);
  update_client_c* client = update_client();
  if (!client) {
    request.error_code = error_code::transfer_unavailable;
    return -1;
  }
  return client->query_updates(request) ? 0 : -1;
}

bool ended(const std::unique_ptr<std::thread>& thread, const thread_call& call) { return !thread || call.ended; }

// Joins a thread that has ended.
void finish(std::unique_ptr<std::thread>& thread) {
  if (thread && thread->joinable()) thread->join();
  thread.reset();
}

}  // namespace

bool scan_workers_running() { return running_workers.load() > 0; }

scan_window_c::scan_window_c() : job_(std::make_shared<scan_job>()) {
  job_->scan_call.function = run_device_scan;
  job_->scan_call.argument = &job_->progress;
  job_->update_call.function = run_update_query;
  job_->update_call.argument = &job_->request;
}

scan_window_c::~scan_window_c() {
  // A worker still running at exit keeps the job it writes into and ends
  // with the process.
  for (auto* thread : {&scan_thread_, &update_thread_}) {
    if (*thread && (*thread)->joinable()) (*thread)->detach();
  }
  if (frame_brush_) DeleteObject(frame_brush_);
  if (band_brush_) DeleteObject(band_brush_);
}

bool scan_window_c::create(HWND parent, const RECT& rect) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  header_icon_.load(instance, bitmap_scan_header_icon);
  header_art_.load(instance, bitmap_scan_header_art);
  side_bar_.load(instance);
  frame_brush_ = CreateSolidBrush(page_colour::side_bar_edge);
  band_brush_ = CreateSolidBrush(page_colour::side_bar);
  // While a scan runs the pointer says so, and the page stays usable.
  static const window_class_info info{L"QuillaryScanPage", CS_DBLCLKS, LoadCursorW(nullptr, IDC_APPSTARTING),
                                      nullptr};
  if (!window_c::create(info, parent, u"", WS_CHILD | WS_CLIPCHILDREN, 0, rect)) return false;
  layout();
  return true;
}

bool scan_window_c::workers_running() const {
  return !ended(scan_thread_, job_->scan_call) || !ended(update_thread_, job_->update_call);
}

void scan_window_c::begin() {
  phase_ = scan_phase::not_started;
  start_ = platform::current_calendar_time();
  start_local_ = platform::local_time_of(start_);
  SetTimer(handle(), timer_id, timer_period_ms, nullptr);
  timer_running_ = true;
  InvalidateRect(handle(), nullptr, TRUE);
  UpdateWindow(handle());
}

void scan_window_c::tick() {
  switch (phase_) {
    case scan_phase::not_started:
      // A thread of an earlier scan works on the same device list: wait.
      if (!workers_running()) start_device_scan();
      break;
    case scan_phase::scanning_devices:
      // The query names the computer's model, which the start-up's summary
      // reads in the background: it waits for it, but not for a WMI query
      // that hangs.
      if (ended(scan_thread_, job_->scan_call) &&
          (system_summary_ready() || GetTickCount64() >= summary_deadline_ms_)) {
        device_scan_ended();
      }
      break;
    case scan_phase::querying:
      if (ended(update_thread_, job_->update_call)) update_query_ended();
      break;
  }
  // The page's window may be gone with a message box's answer.
  if (IsWindow(handle())) {
    InvalidateRect(handle(), nullptr, FALSE);
    UpdateWindow(handle());
  }
}

void scan_window_c::start_device_scan() {
  finish(scan_thread_);
  finish(update_thread_);
  phase_ = scan_phase::scanning_devices;
  summary_deadline_ms_ = GetTickCount64() + summary_wait_ms;
  scan_progress& progress = job_->progress;
  progress.total = 0;
  progress.current = 0;
  progress.current_name = nullptr;
  progress.all_devices = settings().scan_offline != 0 ? 1 : 0;
  job_->scan_call.result = 0;
  scan_thread_ = start_counted(job_->scan_call, job_);
  if (!scan_thread_) job_->scan_call.result = -1;  // seen as a failed scan at the next tick
}

void scan_window_c::device_scan_ended() {
  finish(scan_thread_);
  phase_ = scan_phase::querying;
  if (job_->scan_call.result != 0) {
    // No timer runs while the message is up: its ticks would come in
    // through the message's own loop.
    KillTimer(handle(), timer_id);
    timer_running_ = false;
    const HWND main_window = GetParent(handle());
    show_message(main_window, scan_devices_error, 2);
    PostMessageW(main_window, UM_SCAN_ABANDONED, 0, 0);
    return;
  }
  // The whole request afresh, outputs cleared; the model only once the
  // summary is ready, since until then its thread may write it.
  job_->request = request_for_system(system_info(), system_summary_ready());
  job_->update_call.result = 0;
  update_thread_ = start_counted(job_->update_call, job_);
  if (!update_thread_) {
    job_->request.error_code = error_code::transfer_unavailable;
    job_->update_call.result = -1;
  }
}

void scan_window_c::update_query_ended() {
  finish(update_thread_);
  KillTimer(handle(), timer_id);
  timer_running_ = false;
  const HWND main_window = GetParent(handle());
  if (job_->update_call.result == 0) {
    PostMessageW(main_window, UM_SCAN_FINISHED, static_cast<WPARAM>(job_->progress.total.load()), 0);
    return;
  }
  const int answer = report_query_failure();
  PostMessageW(main_window, answer == 2 ? UM_SCAN_ABANDONED : UM_START_SCAN, 0, 0);
}

int scan_window_c::report_query_failure() {
  const std::u16string text = query_failure_message(job_->request.error_code, job_->request);
  if (text.empty()) return 2;
  return show_message(GetParent(handle()), text, 4);
}

bool scan_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_TIMER:
      if (wparam == timer_id && timer_running_) tick();
      return true;
    case WM_PAINT:
      paint_buffered(handle(), [this](HDC dc, const RECT& client) { paint(dc, client); });
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_SIZE:
      layout();
      InvalidateRect(handle(), nullptr, FALSE);
      return true;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

void scan_window_c::layout() {
  RECT client{};
  GetClientRect(handle(), &client);
  HDC dc = GetDC(handle());
  const SIZE text = text_extent(dc, widest_status_text(), font_verdana_10);
  ReleaseDC(handle(), dc);
  area_ = place_status_area(client.right, client.bottom, text.cx, text.cy);
}

void scan_window_c::paint(HDC dc, const RECT& client) {
  const int main_right = client.right - side_bar_width - 10;
  header_icon_.draw(dc, 15, 15);
  header_art_.draw(dc, main_right - header_art_.width(), 15);
  draw_text_at(dc, text_of("scan_scanning"), 80, 28, font_verdana_16_bold, page_colour::heading);
  RECT frame{10, 85, main_right, client.bottom - 60};
  FrameRect(dc, &frame, frame_brush_);
  draw_text_at(dc, text_of("scan_scanning_your_computer"), area_.left, area_.top - 60, font_verdana_12_bold,
               page_colour::heading);
  paint_status(dc, client);
  paint_progress(dc, client);
  side_bar_.paint(dc, client, side_bar_indent(false, language_code(), side_bar_c::widest_label(dc)));
}

void scan_window_c::paint_status(HDC dc, const RECT& client) {
  scan_status_input input;
  input.phase = phase_;
  input.start_local = start_local_;
  input.start = start_;
  input.now = platform::current_calendar_time();
  input.items = job_->progress.current.load();
  // The name lives in the device list, which only the scan thread changes;
  // its records never move while it runs.
  if (const char16_t* name = job_->progress.current_name.load()) input.current_item = name;
  const scan_status_lines lines = status_lines(input);
  const UINT reading = language_is_right_to_left() ? DT_RTLREADING : 0;

  for (size_t i = 0; i < lines.size(); ++i) {
    const int top = area_.top + static_cast<int>(i) * (area_.line_height + line_gap);
    if (i % 2 == 0) {
      RECT band{area_.left - band_reach_x, top - band_reach_y, area_.right + band_reach_x,
                top + area_.line_height + band_reach_y};
      FillRect(dc, &band, band_brush_);
    }
    RECT line{area_.left, top, area_.right, top + area_.line_height};
    HGDIOBJ previous = SelectObject(dc, font_verdana_10);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, page_colour::side_bar_text);
    // A long device name ends in an ellipsis rather than running on.
    DrawTextW(dc, wide(lines[i]), -1, &line, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | reading);
    SelectObject(dc, previous);
  }

  if (phase_ == scan_phase::querying) {
    const int main_width = client.right - side_bar_width;
    const int left = (main_width - waiting_box_width) / 2;
    const int top = (area_.bottom + (client.bottom - 60) - waiting_box_height) / 2;
    RECT box{left, top, left + waiting_box_width, top + waiting_box_height};
    FillRect(dc, &box, band_brush_);
    const std::u16string waiting = text_of("scan_waiting") + animated_dots(input.now);
    RECT text{left + 45, top, box.right, box.bottom};
    HGDIOBJ previous = SelectObject(dc, font_verdana_10);
    SetTextColor(dc, waiting_text);
    DrawTextW(dc, wide(waiting), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | reading);
    SelectObject(dc, previous);
  }
}

void scan_window_c::paint_progress(HDC dc, const RECT& client) {
  RECT bar{10, client.bottom - 40, client.right - side_bar_width - 10, client.bottom - 20};
  FillRect(dc, &bar, band_brush_);
  FrameRect(dc, &bar, frame_brush_);
  const int permille = progress_permille(job_->progress.current.load(), job_->progress.total.load());
  if (permille > 0) {
    RECT filled{bar.left + 1, bar.top + 1, bar.left + 1 + (bar.right - bar.left - 2) * permille / 1000, bar.bottom - 1};
    HBRUSH fill = CreateSolidBrush(progress_fill);
    FillRect(dc, &filled, fill);
    DeleteObject(fill);
  }
}

}  // namespace quillary
