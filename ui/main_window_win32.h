// The program's main window: the skinned header with its navigation,
// caption buttons and logo; one page at a time below it; the tray icon with
// its menu and balloon; what closing means; the one background scan of a
// run; and the scan flow that the pages and a second instance drive
// through window messages.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/main_window_state.h"
#include "ui/pages/backup_page_win32.h"
#include "ui/pages/download_page_win32.h"
#include "ui/pages/home_page_win32.h"
#include "ui/pages/restore_page_win32.h"
#include "ui/pages/scan_page_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/tray_icon_win32.h"
#include "ui/ui_context.h"
#include "ui/window/keyboard_navigator_win32.h"
#include "ui/window/message_loop_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class main_window_c : public window_c,
                      public ui_window_c<main_window_c>,
                      public message_filter_i,
                      public idle_handler_i {
 public:
  explicit main_window_c(ui_context& context);
  ~main_window_c() override;

  // Creates the window, 800 × 600 centred on the work area, not yet shown.
  bool create(HINSTANCE instance);
  // The --autoscan start, before the window is first shown: a scan is under
  // way when it shows.
  void scan_at_once();

  // The header: caption band, the strip, border, buttons, icon and title.
  void paint_frame_contents(HDC dc, const RECT& window);

  // The settings dialog, modal over the main window: from the settings
  // button, the caption and tray menus, and the pages' own menus.
  void settings_clicked();
  // The about dialog, modal over the main window.
  void about_clicked();

  // The header's buttons and the logo, for screen readers.
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override { frame_part_action(id); }

  bool pre_translate_message(MSG& message) override { return keyboard_.take_key(message); }
  // The focus rectangle of a header button lies in the frame.
  void on_keyboard_focus_moved() override { paint_frame(); }
  void on_idle() override {}

  // How long the window stays hidden before the background scan; only the
  // test build of the program changes it.
  static void set_background_scan_delay(uint32_t milliseconds);

  static constexpr int header_height = 100;
  static constexpr UINT tray_icon_id = 333;
  static constexpr UINT_PTR background_timer_id = 0;
  // Polls for the system summary, read in the background at start-up.
  static constexpr UINT_PTR summary_timer_id = 2;
  static constexpr UINT summary_poll_ms = 100;
  // Adds the tray icon once the window has been painted, and again every
  // tray_retry_ms while the shell does not take it.
  static constexpr UINT_PTR tray_timer_id = 3;
  static constexpr UINT tray_retry_ms = 2000;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  // The pages cover the client area and paint themselves; the window only
  // validates what they leave, and its erased ground shows at the edge.
  painting paint_style() const override { return painting::direct; }
  bool on_erase_background(HDC dc) override;
  bool on_size(UINT kind, int width, int height) override;
  bool on_timer(UINT_PTR id) override;
  void on_scale_changed() override;
  bool on_command(int id, int code, HWND from) override;

 private:
  bool on_create();
  void on_destroy();
  void show_page(window_c& page);
  window_c& page(page_id id);
  void open_page(page_id id);

  void start_scan();
  void scan_finished();
  void hidden_changed();
  void scan_abandoned();
  void activate(bool start_scan);
  void close_window();
  void quit();
  void background_timer();
  void summary_arrived();
  void notify_new_drivers();
  void tray_message(LPARAM mouse_message);
  void show_menu(int x, int y, UINT tracking, HMENU loaded);
  void menu_command(UINT id);

  // Button actions.
  void home_clicked() { open_page(page_id::home); }
  void download_clicked() { open_page(page_id::download); }
  bool create_result_pages();
  void backup_clicked() { open_page(page_id::backup); }
  void restore_clicked() { open_page(page_id::restore); }
  void close_clicked() { close_window(); }
  void maximise_clicked();
  void minimise_clicked() { ShowWindow(handle(), SW_MINIMIZE); }
  void menu_clicked();
  void logo_clicked();

  void add_header_buttons(HINSTANCE instance);
  void set_maximise_images(bool maximised);

  ui_context& context_;
  main_window_state_c state_;
  tray_icon_c tray_;
  UINT tray_message_ = 0;
  // The header strip's picture at the window's scale, as a brush: brushes
  // tile in device pixels.
  void make_strip_brush();
  HBITMAP strip_bitmap_ = nullptr;
  HBRUSH strip_brush_ = nullptr;
  skin_image_c logo_;
  HICON large_icon_ = nullptr;
  HICON alert_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  home_window_c home_;
  scan_window_c scan_;
  download_window_c download_;
  backup_window_c backup_;
  restore_window_c restore_;
  window_c* current_ = nullptr;
  HMENU caption_menu_ = nullptr;
  button_c<main_window_c>* maximise_button_ = nullptr;
  keyboard_navigator_c keyboard_;
  HWND last_focus_ = nullptr;  // where the focus was as the window went inactive
};

}  // namespace quillary
