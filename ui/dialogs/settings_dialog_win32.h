// The settings dialog: the download and backup folders, what closing the
// main window does, start at log-on, scanning disconnected devices, the
// weekly scan and the language. Settings change on OK only; the weekly
// scan's task changes as soon as its box is clicked and is put back on
// Cancel.
#pragma once

#include <windows.h>

#include <string>
#include <commctrl.h>

#include "ui/skin/skin_image_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class user_settings_c;

class config_window_c : public dialog_c, public ui_window_c<config_window_c> {
 public:
  // Shows and changes `settings`; the weekly scan's task starts the
  // program at `module_path`.
  config_window_c(user_settings_c& settings, std::u16string module_path, int skin_caption = 30);
  ~config_window_c() override;

  // Runs the dialog modally over `owner`; 1 after OK, 2 after Cancel or
  // the caption's close button.
  INT_PTR run(HWND owner);

  static constexpr int width = 640;
  static constexpr int height = 480;

 protected:
  // Screen readers read the dialog by its caption and press its caption's
  // buttons.
  bool accessible_items(accessible_view& view) override { return describe_as_dialog(view); }
  void do_accessible_action(int id) override { frame_part_action(id); }
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::direct; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_erase_background(HDC dc) override;
  bool on_command(int id, int code, HWND from) override;

 private:
  void initialise();
  void place(int item, int x, int y, int cx = 0, int cy = 0);
  void pick_folder(int edit);
  void scheduled_scan_clicked();
  void ok();
  void cancel();
  void close_clicked() { cancel(); }

  user_settings_c& settings_;
  std::u16string module_path_;
  bitmap_button_c download_button_;
  bitmap_button_c backup_button_;
  bitmap_button_c ok_button_;
  bitmap_button_c cancel_button_;
  HIMAGELIST button_images_ = nullptr;
  HBRUSH frame_brush_ = nullptr;
  HBRUSH white_brush_ = nullptr;
  skin_image_c divider_;
};

struct ui_context;

// The settings dialog over `owner`, as the main window and the pages open it.
void show_settings_dialog(HWND owner, ui_context& context);

}  // namespace quillary
