// The skinned message box with which every page reports results, asks
// yes-or-no questions and offers a retry: a modal dialog of 300 × 200 pixels
// in the skin's frame, with an icon by type, a wrapped text and one or two
// image buttons.
//
//   type 0  completion note   OK
//   type 1  warning           OK
//   type 2  failure           OK
//   type 3  question          No, Yes
//   type 4  failure to retry  Cancel, Retry
//
// Answers: 1 for OK, Yes and Retry (and Enter), 2 for No and Cancel (and
// Escape), 0 for the caption's close button.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/skin/skin_image_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class message_window_c : public dialog_c, public ui_window_c<message_window_c> {
 public:
  message_window_c(const std::u16string& text, int type);
  ~message_window_c() override;

  // Runs the box modally over `parent` (null: centred on the screen's work
  // area); its answer, or -1 when it cannot be shown.
  int run(HWND parent);

  int type() const { return type_; }
  const std::u16string& text() const { return text_; }

  static constexpr int width = 300;
  static constexpr int height = 200;
  static constexpr int band_top = 130;
  // The hidden static control that holds the text for tools that read it.
  static constexpr int message_text_id = 1000;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void initialise();
  void prepare_button(bitmap_button_c& button, int item, const char* text_key, int x);
  void erase_background(HDC dc);
  void paint(HDC dc);
  void close_clicked() { end_dialog(0); }

  std::u16string text_;
  int type_;
  skin_image_c icon_;
  bitmap_button_c first_button_;
  bitmap_button_c second_button_;
  HIMAGELIST button_images_ = nullptr;
  HBRUSH background_brush_ = nullptr;
  HBRUSH band_brush_ = nullptr;
};

// Shows `text` (a text already looked up) in a message box of `type` over
// `parent`; the box's answer.
int show_message(HWND parent, const std::u16string& text, int type);

// An image list of `width` × `height`, 32-bit, from the bitmaps `numbers` in
// order; a bitmap that does not exist takes its place as an empty image, so
// that the others keep their indexes.
HIMAGELIST build_skin_image_list(HINSTANCE instance, int width, int height,
                                 std::initializer_list<int> numbers);

}  // namespace quillary
