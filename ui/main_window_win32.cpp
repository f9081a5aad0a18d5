#include "ui/main_window_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "app/hidden_updates.h"
#include "app/language.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "download/download_session.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "service/update_client.h"
#include "resources/resource_ids.h"
#include "ui/dialogs/about_dialog_win32.h"
#include "ui/dialogs/settings_dialog_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/palette.h"
#include "ui/window_messages.h"

namespace quillary {
namespace {

constexpr int window_width = 800;
constexpr int window_height = 600;

uint32_t background_scan_delay = background_scan_delay_ms;

struct header_button {
  int images[3];
  RECT place;  // before the frame offsets
  const char* label;  // navigation: the label; caption: the name a screen reader gives
};

// The navigation buttons, left to right.
constexpr header_button navigation[5] = {
    {{bitmap_top_home_normal, bitmap_top_home_hover, bitmap_top_home_pressed}, {10, 23, 93, 90}, "top_home"},
    {{bitmap_top_download_normal, bitmap_top_download_hover, bitmap_top_download_pressed},
     {92, 23, 175, 90},
     "top_download"},
    {{bitmap_top_backup_normal, bitmap_top_backup_hover, bitmap_top_backup_pressed}, {174, 23, 257, 90}, "top_backup"},
    {{bitmap_top_restore_normal, bitmap_top_restore_hover, bitmap_top_restore_pressed},
     {256, 23, 339, 90},
     "top_restore"},
    {{bitmap_top_settings_normal, bitmap_top_settings_hover, bitmap_top_settings_pressed},
     {338, 23, 421, 90},
     "top_settings"},
};

// The caption buttons, measured from the right edge.
constexpr header_button caption[4] = {
    {{bitmap_caption_close_normal, bitmap_caption_close_hover, bitmap_caption_close_pressed}, {0, 0, 30, 21}, "caption_close"},
    {{bitmap_caption_maximise_normal, bitmap_caption_maximise_hover, bitmap_caption_maximise_pressed},
     {30, 0, 60, 21},
     "caption_maximise"},
    {{bitmap_caption_minimise_normal, bitmap_caption_minimise_hover, bitmap_caption_minimise_pressed},
     {60, 0, 90, 21},
     "caption_minimise"},
    {{bitmap_caption_menu_normal, bitmap_caption_menu_hover, bitmap_caption_menu_pressed}, {90, 0, 120, 21}, "caption_menu"},
};

void set_menu_texts(HMENU popup) {
  const std::pair<UINT, const char*> items[] = {{command_settings, "menu_settings"},
                                                {command_help, "menu_help"},
                                                {command_exit, "menu_exit"},
                                                {command_about, "menu_about"}};
  for (const auto& [id, key] : items) {
    ModifyMenuW(popup, id, MF_BYCOMMAND | MF_STRING, id, wide(text_of(key)));
  }
}

HICON load_icon(HINSTANCE instance, int number, int size_metric) {
  const int size = GetSystemMetrics(size_metric);
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(number), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace

void main_window_c::set_background_scan_delay(uint32_t milliseconds) { background_scan_delay = milliseconds; }

main_window_c::main_window_c(ui_context& context)
    : ui_window_c<main_window_c>(header_height),
      context_(context),
      home_(context),
      scan_(context),
      download_(context),
      backup_(context),
      restore_(context) {}

main_window_c::~main_window_c() {
  destroy();
  if (strip_brush_) DeleteObject(strip_brush_);
  if (strip_bitmap_) DeleteObject(strip_bitmap_);
  for (HICON icon : {large_icon_, alert_icon_, small_icon_}) {
    if (icon) DestroyIcon(icon);
  }
}

bool main_window_c::create(HINSTANCE instance) {
  // Centred in the work area, in its pixels; the window takes its logical
  // size at the display's scale.
  const display_scale at = system_scale();
  RECT work{0, 0, at.device(window_width), at.device(window_height)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + std::max(0, static_cast<int>(work.right - work.left) - at.device(window_width)) / 2;
  const int y = work.top + std::max(0, static_cast<int>(work.bottom - work.top) - at.device(window_height)) / 2;
  large_icon_ = load_icon(instance, icon_application, SM_CXICON);
  small_icon_ = load_icon(instance, icon_application, SM_CXSMICON);
  alert_icon_ = load_icon(instance, icon_alert, SM_CXSMICON);
  const window_class_info info{main_window_class, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, nullptr,
                               reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), large_icon_, small_icon_};
  const DWORD style = WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
  return window_c::create(info, nullptr, from_wide(main_window_title), style, 0,
                          RECT{x, y, x + window_width, y + window_height}) != nullptr;
}

bool main_window_c::on_create() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  keyboard_.set_root(handle());
  if (message_loop_c* loop = current_message_loop()) {
    loop->add_filter(this);
    loop->add_idle_handler(this);
  }
  add_header_buttons(instance);
  make_strip_brush();
  logo_.load(instance, bitmap_logo);

  const RECT client = logical_client();
  if (!home_.create(handle(), client, true) || !scan_.create(handle(), client)) return false;
  current_ = &home_;
  caption_menu_ = LoadMenuW(instance, MAKEINTRESOURCEW(menu_main));

  SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large_icon_));
  SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
  tray_message_ = RegisterWindowMessageW(L"WM_TRAYICON");
  // The tray icon waits for the first paint: adding it asks the shell, in
  // another process, and the window should not wait for that.
  SetTimer(handle(), tray_timer_id, 0, nullptr);
  set_window_region();

  // The logo goes last: it is found after the caption buttons.
  const RECT logo_place{20 + frame_height, 40 + frame_width, 20 + frame_height + logo_.width(),
                        40 + frame_width + logo_.height()};
  auto logo = std::make_unique<system_button_c<main_window_c>>();
  logo->create(instance, bitmap_logo, bitmap_logo, bitmap_logo, logo_place, u"");
  logo->action = &main_window_c::logo_clicked;
  logo->name_key = "about_information";
  logo->role = accessible_role::link;
  add_button(std::move(logo));

  // The side bars show the system summary once its queries are done.
  if (!context_.system.summary_ready()) SetTimer(handle(), summary_timer_id, summary_poll_ms, nullptr);
  return true;
}

void main_window_c::scan_at_once() { SendMessageW(handle(), UM_START_SCAN, 0, 0); }

void main_window_c::add_header_buttons(HINSTANCE instance) {
  using action = void (main_window_c::*)();
  const action navigation_actions[5] = {&main_window_c::home_clicked, &main_window_c::download_clicked,
                                        &main_window_c::backup_clicked, &main_window_c::restore_clicked,
                                        &main_window_c::settings_clicked};
  for (size_t i = 0; i < std::size(navigation); ++i) {
    const header_button& b = navigation[i];
    RECT place = b.place;
    OffsetRect(&place, frame_height, frame_width);
    auto button = std::make_unique<top_button_c<main_window_c>>();
    button->create(instance, b.images[0], b.images[1], b.images[2], place, text_of(b.label));
    button->action = navigation_actions[i];
    button->name_key = b.label;
    add_button(std::move(button));
  }
  const action caption_actions[4] = {&main_window_c::close_clicked, &main_window_c::maximise_clicked,
                                     &main_window_c::minimise_clicked, &main_window_c::menu_clicked};
  for (size_t i = 0; i < std::size(caption); ++i) {
    const header_button& b = caption[i];
    RECT place = b.place;
    OffsetRect(&place, frame_height, frame_width);
    auto button = std::make_unique<system_button_c<main_window_c>>();
    button->create(instance, b.images[0], b.images[1], b.images[2], place, u"");
    button->action = caption_actions[i];
    button->name_key = b.label;
    button_c<main_window_c>* raw = add_button(std::move(button));
    if (i == 1) maximise_button_ = raw;
  }
}

void main_window_c::set_maximise_images(bool maximised) {
  if (!maximise_button_) return;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  maximise_button_->name_key = maximised ? "caption_restore" : "caption_maximise";
  if (maximised) {
    maximise_button_->set_images(instance, bitmap_caption_restore_normal, bitmap_caption_restore_hover,
                                 bitmap_caption_restore_pressed);
  } else {
    maximise_button_->set_images(instance, bitmap_caption_maximise_normal, bitmap_caption_maximise_hover,
                                 bitmap_caption_maximise_pressed);
  }
}

bool main_window_c::accessible_items(accessible_view& view) {
  view.self.role = accessible_role::client;
  view.self.name = trimmed_window_text(handle());
  add_frame_parts(view.parts);
  return true;
}

void main_window_c::on_destroy() {
  KillTimer(handle(), background_timer_id);
  tray_.remove();
  if (caption_menu_) DestroyMenu(caption_menu_);
  caption_menu_ = nullptr;
  if (message_loop_c* loop = current_message_loop()) {
    loop->remove_filter(this);
    loop->remove_idle_handler(this);
  }
  PostQuitMessage(0);
}

bool main_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (handle_frame_message(message, wparam, lparam, result)) return true;
  if (message == tray_message_ && tray_message_ != 0) {
    if (wparam == tray_icon_id) tray_message(lparam);
    return true;
  }
  if (message == taskbar_created_message()) {
    tray_.add_again();
    return true;
  }
  switch (message) {
    case WM_CREATE:
      result = on_create() ? 0 : -1;
      return true;
    case WM_DESTROY:
      on_destroy();
      return true;
    case WM_ACTIVATE:
      // The control the keyboard left gets the focus back when the window
      // comes back to the front.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        last_focus_ = focus && IsChild(handle(), focus) ? focus : nullptr;
      }
      return false;
    case WM_SETFOCUS:
      // A header button the keyboard focused keeps the focus here.
      if (focused_part()) return true;
      if (last_focus_ && current_ && IsWindow(last_focus_) && IsWindowVisible(last_focus_) &&
          IsChild(current_->handle(), last_focus_)) {
        SetFocus(last_focus_);
      } else if (current_ && current_->handle()) {
        SetFocus(current_->handle());
      }
      last_focus_ = nullptr;
      return true;
    case WM_CLOSE:
      close_window();
      return true;
    case WM_SHOWWINDOW:
      if (wparam && state_.window_shown()) tray_.set_icon(small_icon_);
      return false;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      // Before the first message of its own the window has no scale yet:
      // the system's serves.
      const display_scale at = handle() ? scale() : system_scale();
      limits->ptMinTrackSize = POINT{at.device(window_width), at.device(window_height)};
      return true;
    }
    case UM_START_SCAN:
      start_scan();
      return true;
    case UM_SCAN_FINISHED:
      scan_finished();
      return true;
    case UM_SCAN_ABANDONED:
      scan_abandoned();
      return true;
    case UM_ACTIVATE_INSTANCE:
      activate(wparam != 0);
      return true;
    case UM_OPEN_SETTINGS:
      settings_clicked();
      return true;
    case UM_HIDDEN_CHANGED:
      hidden_changed();
      return true;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

bool main_window_c::on_erase_background(HDC dc) {
  RECT client = logical_client();
  InflateRect(&client, -1, -1);
  HBRUSH white = CreateSolidBrush(colour_of(colour_role::page_ground));
  FillRect(dc, &client, white);
  DeleteObject(white);
  return true;
}

void main_window_c::make_strip_brush() {
  if (strip_brush_) DeleteObject(strip_brush_);
  if (strip_bitmap_) DeleteObject(strip_bitmap_);
  strip_brush_ = nullptr;
  strip_bitmap_ = load_skin_bitmap_at(GetModuleHandleW(nullptr), bitmap_header_strip, scale());
  if (strip_bitmap_) strip_brush_ = CreatePatternBrush(strip_bitmap_);
}

void main_window_c::on_scale_changed() {
  measure_frame();
  make_strip_brush();
}

bool main_window_c::on_command(int id, int, HWND) {
  menu_command(static_cast<UINT>(id));
  return true;
}

bool main_window_c::on_timer(UINT_PTR id) {
  if (id == summary_timer_id) {
    summary_arrived();
  } else if (id == tray_timer_id) {
    // Without its icon a window closed to the tray could not be brought
    // back but by starting the program again. A retry keeps the picture
    // set meanwhile (the alert of a background scan).
    HICON picture = tray_.icon() ? tray_.icon() : small_icon_;
    if (tray_.add(handle(), tray_icon_id, tray_message_, picture, u"Quillary")) {
      KillTimer(handle(), tray_timer_id);
    } else {
      SetTimer(handle(), tray_timer_id, tray_retry_ms, nullptr);
    }
  } else {
    background_timer();
  }
  return true;
}

bool main_window_c::on_size(UINT kind, int, int) {
  if (kind == SIZE_RESTORED) set_maximise_images(false);
  if (kind == SIZE_MAXIMIZED) set_maximise_images(true);
  if (current_ && current_->handle()) place_child(current_->handle(), logical_client());
  set_window_region();
  // Before the window is first shown the coming paint draws it all anyway.
  if (!IsWindowVisible(handle())) return true;
  RedrawWindow(handle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  return true;
}

void main_window_c::show_page(window_c& next) {
  if (&next == current_) return;
  if (current_) ShowWindow(current_->handle(), SW_HIDE);
  current_ = &next;
  place_child(next.handle(), logical_client());
  ShowWindow(next.handle(), SW_SHOW);
  // The new page has the focus, not the header button that led to it.
  set_focused_part(std::nullopt);
  SetFocus(next.handle());
}

window_c& main_window_c::page(page_id id) {
  switch (id) {
    case page_id::scan: return scan_;
    case page_id::download: return download_;
    case page_id::backup: return backup_;
    case page_id::restore: return restore_;
    default: return home_;
  }
}

void main_window_c::open_page(page_id id) {
  if (id == page_id::home) {
    show_page(page(state_.home_page()));
    return;
  }
  if (!state_.can_open(id)) {
    show_message(handle(), text_of(blocked_message_key(id)), message_kind::warning);
    return;
  }
  if (!create_result_pages()) return;
  show_page(page(id));
}

// The pages that show what a scan found are made when first needed: the
// program's start does not wait for them (the chart alone starts GDI+).
bool main_window_c::create_result_pages() {
  const RECT client = logical_client();
  return (download_.handle() || download_.create(handle(), client)) &&
         (backup_.handle() || backup_.create(handle(), client)) &&
         (restore_.handle() || restore_.create(handle(), client));
}

void main_window_c::start_scan() {
  state_.scan_started();
  show_page(scan_);
  RedrawWindow(scan_.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  scan_.begin();
}

void main_window_c::scan_finished() {
  const shared_scan_result result = scan_.take_result();
  if (!result) return;  // a message of a scan that is no longer shown
  const bool notify = state_.scan_finished();
  if (!create_result_pages()) {
    show_page(home_);
    return;
  }
  // Each page keeps the result it shows; the next scan makes its own.
  download_.take_result(result);
  backup_.take_result(result);
  restore_.take_result(result);
  show_page(download_);
  SetFocus(download_.focus_target());
  if (notify) notify_new_drivers();
}

void main_window_c::hidden_changed() {
  // The next scans set aside what is hidden now; the result shown is
  // picked anew without asking the service again.
  context_.updates.set_hidden_updates(context_.hidden.list());
  const shared_scan_result shown = download_.result();
  if (!shown) return;
  const shared_scan_result result = shown->with_hidden(context_.hidden.list());
  download_.take_result(result);
  backup_.take_result(result);
  restore_.take_result(result);
}

void main_window_c::scan_abandoned() {
  state_.scan_abandoned();
  show_page(home_);
}

void main_window_c::activate(bool scan) {
  ShowWindow(handle(), SW_SHOW);
  SetForegroundWindow(handle());
  BringWindowToTop(handle());
  if (scan && state_.scan() != scan_state::scanning) SendMessageW(handle(), UM_START_SCAN, 0, 0);
}

void main_window_c::close_window() {
  settings_values& settings = context_.settings.values();
  switch (close_action_for(settings.close_to_tray)) {
    case close_action::quit:
      quit();
      return;
    case close_action::hide_after_notice:
      show_message(handle(), text_of("system_tray_warning"), message_kind::note);
      settings.close_to_tray = 2;
      context_.settings.save();
      break;
    case close_action::hide:
      break;
  }
  ShowWindow(handle(), SW_HIDE);
  if (state_.hiding_arms_background_timer()) {
    KillTimer(handle(), background_timer_id);
    SetTimer(handle(), background_timer_id, background_scan_delay, nullptr);
  }
}

void main_window_c::quit() {
  if (context_.downloads.any_downloading()) {
    if (show_message(handle(), text_of("quit_confirm"), message_kind::question) == message_answer::no) return;
  }
  DestroyWindow(handle());
}

void main_window_c::summary_arrived() {
  if (!context_.system.summary_ready()) return;
  KillTimer(handle(), summary_timer_id);
  if (current_ && current_->handle()) InvalidateRect(current_->handle(), nullptr, FALSE);
}

void main_window_c::background_timer() {
  if (!state_.background_timer_fired()) return;
  KillTimer(handle(), background_timer_id);
  // The state already counts this scan as started.
  start_scan();
}

void main_window_c::notify_new_drivers() {
  const int32_t count = download_.out_of_date_count();
  if (count <= 0) return;
  tray_.set_icon(alert_icon_);
  tray_.show_balloon(u"Quillary", new_driver_notice(text_of("new_driver_notify"), count));
}

void main_window_c::tray_message(LPARAM mouse_message) {
  switch (static_cast<UINT>(mouse_message)) {
    case WM_RBUTTONUP: {
      HMENU loaded = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menu_main));
      if (!loaded) return;
      POINT cursor{};
      GetCursorPos(&cursor);
      // The menu must belong to the foreground window to close when the
      // user clicks elsewhere.
      SetForegroundWindow(handle());
      show_menu(cursor.x, cursor.y, TPM_LEFTBUTTON, loaded);
      PostMessageW(handle(), WM_NULL, 0, 0);
      DestroyMenu(loaded);
      return;
    }
    case NIN_BALLOONUSERCLICK:
      // The new-driver balloon leads to what it tells of.
      ShowWindow(handle(), SW_SHOW);
      SetForegroundWindow(handle());
      return;
    case WM_LBUTTONUP:
      if (IsWindowVisible(handle())) {
        ShowWindow(handle(), SW_HIDE);
      } else {
        ShowWindow(handle(), SW_SHOW);
        SetForegroundWindow(handle());
      }
      return;
    default:
      return;
  }
}

void main_window_c::show_menu(int x, int y, UINT tracking, HMENU menu) {
  HMENU popup = GetSubMenu(menu, 0);
  if (!popup) return;
  set_menu_texts(popup);
  TrackPopupMenu(popup, tracking, clamped_menu_x(x, y), y, 0, handle(), nullptr);
}

void main_window_c::menu_clicked() {
  if (!caption_menu_) return;
  RECT window{}, client{};
  GetWindowRect(handle(), &window);
  GetClientRect(handle(), &client);
  show_menu(window.left + client.right - scale().device(103), window.top + scale().device(10), TPM_RIGHTBUTTON,
            caption_menu_);
}

void main_window_c::menu_command(UINT id) {
  switch (id) {
    case command_settings:
      settings_clicked();
      break;
    case command_help:
      context_.shell.open(ascii_to_utf16(help_link()), u"");
      break;
    case command_about:
      about_clicked();
      break;
    case command_exit:
      quit();
      break;
    default:
      break;
  }
}

void main_window_c::settings_clicked() { show_settings_dialog(handle(), context_); }

void main_window_c::about_clicked() {
  about_window_c about(context_.shell, context_.system.snapshot().working_folder);
  about.run(handle());
}

void main_window_c::maximise_clicked() {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(handle(), &placement);
  ShowWindow(handle(), placement.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWNORMAL : SW_SHOWMAXIMIZED);
}

void main_window_c::logo_clicked() { context_.shell.open(ascii_to_utf16(product_page_link()), u""); }

void main_window_c::paint_frame_contents(HDC dc, const RECT& window) {
  fill_caption_band(dc, window);
  // The strip is a picture of the skin: in high contrast the band alone.
  if (strip_brush_ && !plain_skin()) {
    RECT strip{window.left, window.top, window.right, window.top + 24};
    FillRect(dc, &strip, strip_brush_);
  }
  draw_border(dc, window);
  draw_buttons(dc, window);
  if (!trimmed_window_text(handle()).empty()) {
    DrawIconEx(dc, 5, 5, large_icon_, 20, 20, 0, nullptr, DI_NORMAL);
    draw_caption_title(dc, 30, 8);
  }
}

}  // namespace quillary
