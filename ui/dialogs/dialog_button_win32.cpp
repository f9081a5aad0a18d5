#include "ui/dialogs/dialog_button_win32.h"

#include "app/language.h"
#include "platform/win32.h"
#include "ui/skin/palette.h"

namespace quillary {

void prepare_dialog_button(bitmap_button_c& button, HWND dialog, int item, HIMAGELIST images, HFONT font,
                           const char* text_key, int x, int y) {
  HWND control = GetDlgItem(dialog, item);
  if (!control) return;
  button.set_image_list(images);
  button.set_images({0, 1, 2, -1});
  button.set_text_font(font);
  button.set_text_colour(colour_of(colour_role::button_text));
  button.subclass(control);
  SetWindowTextW(control, wide(text_of(text_key)));
  if (const window_c* owner = window_c::from_handle(dialog)) {
    owner->place_child(control, RECT{x, y, x, y}, SWP_NOSIZE);
  }
}

}  // namespace quillary
