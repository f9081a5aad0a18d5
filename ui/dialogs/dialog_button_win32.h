// The image buttons of the settings and about dialogs: a dialog item
// subclassed as a skin button over a shared image list (normal 0, pushed
// 1, hover 2), with a white language text in a skin font, moved to its
// place.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/window/bitmap_button_win32.h"

namespace quillary {

void prepare_dialog_button(bitmap_button_c& button, HWND dialog, int item, HIMAGELIST images, HFONT font,
                           const char* text_key, int x, int y);

}  // namespace quillary
