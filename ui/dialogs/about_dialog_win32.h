// The about dialog: the product's name under its picture, the rights
// notice, a paragraph about the program with this build's date and time,
// and a button that starts the separate updater.
#pragma once

#include <windows.h>

#include <string>
#include <commctrl.h>

#include "platform/shell.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class about_window_c : public dialog_c, public ui_window_c<about_window_c> {
 public:
  // The updater is started through `shell`.
  // `program_folder`: where the updater lies.
  about_window_c(shell_i& shell, std::u16string program_folder);
  ~about_window_c() override;

  // Runs the dialog modally over `owner`: 0 after the caption's close
  // button, 1 when the updater was started, 2 after Close.
  INT_PTR run(HWND owner);

  static constexpr int width = 500;
  static constexpr int height = 400;
  static constexpr int caption_height = 100;

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

 public:
  // The header drawn on the caption band.
  void paint_frame_contents(HDC dc, const RECT& window);

 private:
  void initialise();
  void start_updater();
  void close_clicked() { end_dialog(0); }

  shell_i& shell_;
  std::u16string program_folder_;
  bitmap_button_c updater_button_;
  bitmap_button_c close_button_;
  HIMAGELIST button_images_ = nullptr;
  skin_image_c header_;
  HBITMAP band_bitmap_ = nullptr;
  HBRUSH band_brush_ = nullptr;
  HBRUSH background_brush_ = nullptr;
  int band_height_ = 0;
};

}  // namespace quillary
