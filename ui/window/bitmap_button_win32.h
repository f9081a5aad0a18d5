// An image push button: a subclassed button control that draws one image
// of an image list by its state (normal, pushed, hover, disabled), tracks
// the mouse for the hover image, takes the image's size, and writes its
// window text centred over the image in a chosen font and colour. The
// button control itself still does the clicking (BN_CLICKED to the parent,
// Space when focused). In a dialog it is a push button to the dialog
// manager: the focused one becomes the default, so Enter answers with the
// button that has the focus, and that button shows its hover image with a
// focus rectangle.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/window/hover_tracker_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class bitmap_button_c : public window_c {
 public:
  // Images of the list by state; -1: none (the normal image stands in).
  struct image_indexes {
    int normal = 0;
    int pushed = -1;
    int hover = -1;
    int disabled = -1;
  };

  // The list is not owned: dialogs share one among several buttons.
  void set_image_list(HIMAGELIST images) { images_ = images; }
  void set_images(const image_indexes& indexes) { indexes_ = indexes; }
  // The text's font (null: the control's own) and colour.
  void set_text_font(HFONT font) { font_ = font; }
  void set_text_colour(COLORREF colour) { text_colour_ = colour; }

  // Subclasses a button control (a dialog item, usually): makes it owner
  // drawn and sizes it to the image.
  bool subclass(HWND button);
  // Sets the image size on the window now (done by subclass).
  void size_to_image();

  // What is shown now: 0 normal, 1 pushed, 2 hover (or focused), 3 disabled.
  int visible_state() const;
  bool hovering() const { return hover_.hovered(); }
  bool focused() const;
  // Whether the dialog manager made it the default button (Enter).
  bool is_default() const { return default_; }

  // A push button named by its text, for screen readers; its default action
  // is the button control's own click.
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::direct; }
  void on_paint(HDC dc, const RECT& client) override;
  // The image covers the button: nothing to erase.
  bool on_erase_background(HDC) override { return true; }

 private:
  bool pushed() const;

  HIMAGELIST images_ = nullptr;
  image_indexes indexes_;
  HFONT font_ = nullptr;
  COLORREF text_colour_ = RGB(0, 0, 0);
  bool default_ = false;
  hover_tracker_c hover_;
};

}  // namespace quillary
