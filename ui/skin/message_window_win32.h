// The skinned message box with which every page reports results, asks
// yes-or-no questions and offers a retry: a modal dialog of 300 × 200 pixels
// in the skin's frame, with an icon by kind, a wrapped text and one or two
// image buttons (message_box_layout.h has the kinds and their answers).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/skin/message_box_layout.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class message_window_c : public dialog_c, public ui_window_c<message_window_c> {
 public:
  message_window_c(const std::u16string& text, message_kind kind);
  ~message_window_c() override;

  // Runs the box modally over `parent` (null: centred on the screen's work
  // area); its answer.
  message_answer run(HWND parent);

  // The text and the close button, for screen readers (the answer buttons
  // answer for themselves).
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override { frame_part_action(id); }

  static constexpr int width = 300;
  static constexpr int height = 200;
  static constexpr int band_top = 130;
  // The hidden static control that holds the text for tools that read it.
  static constexpr int message_text_id = 1000;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::direct; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_erase_background(HDC dc) override;
  bool on_command(int id, int code, HWND from) override;

 private:
  void initialise();
  void prepare_button(bitmap_button_c& button, int item, const char* text_key, int x);
  void close_clicked() { end_dialog(0); }

  std::u16string text_;
  message_kind kind_;
  skin_image_c icon_;
  bitmap_button_c first_button_;
  bitmap_button_c second_button_;
  HIMAGELIST button_images_ = nullptr;
  HBRUSH background_brush_ = nullptr;
  HBRUSH band_brush_ = nullptr;
};

// Shows `text` (a text already looked up) in a message box of `kind` over
// `parent`; the box's answer.
message_answer show_message(HWND parent, const std::u16string& text, message_kind kind);

// An image list of pictures `logical_width` × `logical_height` logical
// pixels, in the device pixels of `scale` (image lists draw as they are),
// 32-bit, from the bitmaps `numbers` in order; a bitmap that does not exist
// takes its place as an empty image, so that the others keep their indexes.
HIMAGELIST build_skin_image_list(HINSTANCE instance, display_scale scale, int logical_width, int logical_height,
                                 std::initializer_list<int> numbers);

}  // namespace quillary
