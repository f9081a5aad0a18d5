#include "ui/skin/message_window_win32.h"

#include <memory>
#include <vector>

#include "app/language.h"
#include "platform/win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/skin/wrapped_text_win32.h"

namespace quillary {
namespace {

constexpr RECT text_box{message_box_text.left, message_box_text.top, message_box_text.right, message_box_text.bottom};


// Close button pictures (normal, hover, pressed) and its place before the
// frame offset, measured from the right edge.
constexpr int close_images[3] = {323, 324, 325};
constexpr RECT close_rect{0, 0, 31, 21};
constexpr int message_button_images[3] = {356, 358, 357};  // normal, pushed, hover
constexpr int message_button_width = 70;
constexpr int message_button_height = 24;

// The box's layout is the program's own, not a resource: a popup with a
// caption (which the skin replaces) and the two button items; item 2 shows
// only for the types that have it.
const DLGTEMPLATE* message_template() {
  static const dialog_template_c made = [] {
    dialog_template_c t(WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS, 0, 0, 0, 200, 133, u"");
    t.add_item(0x0080, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 77, 91, 47, 16, u"");
    t.add_item(0x0080, IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 33, 91, 47, 16, u"");
    return t;
  }();
  return made.get();
}

HBITMAP empty_bitmap(HDC reference, int width, int height, bool white) {
  HDC dc = CreateCompatibleDC(reference);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(width) * height,
                white ? 0xFFFFFFFFu : 0u);
  }
  DeleteDC(dc);
  return bitmap;
}

}  // namespace

HIMAGELIST build_skin_image_list(HINSTANCE instance, display_scale scale, int logical_width, int logical_height,
                                 std::initializer_list<int> numbers) {
  const int width = scale.device(logical_width);
  const int height = scale.device(logical_height);
  HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK,
                                     static_cast<int>(numbers.size()), 0);
  if (!list) return nullptr;
  HDC screen = GetDC(nullptr);
  for (int number : numbers) {
    HBITMAP picture = load_skin_bitmap_at(instance, number, scale);
    if (picture) {
      ImageList_Add(list, picture, nullptr);
      DeleteObject(picture);
    } else {
      // A wholly transparent stand-in (the mask is all white).
      HBITMAP blank = empty_bitmap(screen, width, height, false);
      HBITMAP mask = empty_bitmap(screen, width, height, true);
      ImageList_Add(list, blank, mask);
      DeleteObject(blank);
      DeleteObject(mask);
    }
  }
  ReleaseDC(nullptr, screen);
  return list;
}

message_window_c::message_window_c(const std::u16string& text, message_kind kind)
    : ui_window_c<message_window_c>(30), text_(text), kind_(kind) {}

message_window_c::~message_window_c() {
  if (button_images_) ImageList_Destroy(button_images_);
  if (background_brush_) DeleteObject(background_brush_);
  if (band_brush_) DeleteObject(band_brush_);
}

message_answer message_window_c::run(HWND parent) {
  return answer_for_item(kind_, static_cast<int>(run_modal(message_template(), parent)));
}

bool message_window_c::accessible_items(accessible_view& view) {
  view.self.role = accessible_role::dialog;
  view.self.name = text_;
  accessible_item text;
  text.role = accessible_role::static_text;
  text.name = text_;
  text.state = accessible_state::read_only;
  text.rect = {text_box.left, text_box.top, text_box.right, text_box.bottom};
  view.parts.push_back(std::move(text));
  add_frame_parts(view.parts);
  return true;
}

message_answer show_message(HWND parent, const std::u16string& text, message_kind kind) {
  message_window_c box(text, kind);
  return box.run(parent);
}

void message_window_c::prepare_button(bitmap_button_c& button, int item, const char* text_key,
                                      int x) {
  HWND control = GetDlgItem(handle(), item);
  if (!control) return;
  button.set_image_list(button_images_);
  button.set_images({0, 1, 2, -1});
  button.set_text_font(font_verdana_9_bold);
  button.set_text_colour(colour_of(colour_role::button_text));
  button.subclass(control);
  SetWindowTextW(control, wide(text_of(text_key)));
  place_child(control, RECT{x, message_box_button_y, x, message_box_button_y}, SWP_NOSIZE);
  ShowWindow(control, SW_SHOW);
}

void message_window_c::initialise() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);

  auto close = std::make_unique<system_button_c<message_window_c>>();
  RECT place = close_rect;
  OffsetRect(&place, frame_width, frame_height);
  close->create(instance, close_images[0], close_images[1], close_images[2], place, u"");
  close->action = &message_window_c::close_clicked;
  close->name_key = "caption_close";
  add_button(std::move(close));

  button_images_ =
      build_skin_image_list(instance, scale(), message_button_width, message_button_height,
                            {message_button_images[0], message_button_images[1],
                             message_button_images[2]});

  const message_box_layout layout = layout_for_message(kind_);
  if (layout.icon) icon_.load(instance, layout.icon);
  for (int i = 0; i < layout.button_count; ++i) {
    const message_box_button& b = layout.buttons[i];
    prepare_button(b.item == 1 ? first_button_ : second_button_, b.item, b.text_key, b.x);
  }

  // The box draws its text itself; a hidden static control carries it too,
  // so that tools that read windows (automation, our GUI tests) find it.
  HWND text = CreateWindowExW(0, L"STATIC", wide(text_), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(message_text_id)), instance, nullptr);
  place_child(text, text_box);

  background_brush_ = CreateSolidBrush(colour_of(colour_role::message_background));
  band_brush_ = CreateSolidBrush(colour_of(colour_role::caption_band));
  set_logical_size(width, height);
  centre_window(handle(), GetParent(handle()));
  set_window_region();
}

bool message_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam,
                                      LRESULT& result) {
  if (handle_frame_message(message, wparam, lparam, result)) return true;
  switch (message) {
    case WM_INITDIALOG:
      initialise();
      if (kind_ == message_kind::cautious_question) {
        // No becomes the default: Enter, and the focus, are on it.
        SendMessageW(handle(), DM_SETDEFID, IDCANCEL, 0);
        SetFocus(GetDlgItem(handle(), IDCANCEL));
        result = FALSE;
      } else {
        result = TRUE;  // the system focuses the default button
      }
      return true;
    default:
      return false;
  }
}

bool message_window_c::on_command(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    end_dialog(1);
    return true;
  }
  if (id == IDCANCEL) {  // item 2, Escape, Alt+F4
    end_dialog(2);
    return true;
  }
  return false;
}

bool message_window_c::on_erase_background(HDC dc) {
  const RECT client = logical_client();
  FillRect(dc, &client, background_brush_);
  RECT band = client;
  band.top = band_top;
  FillRect(dc, &band, band_brush_);
  return true;
}

void message_window_c::on_paint(HDC dc, const RECT&) {
  icon_.draw(dc, 15, 30);
  HGDIOBJ previous = font_verdana_10 ? SelectObject(dc, font_verdana_10) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour_of(colour_role::message_text));
  RECT box = text_box;
  draw_wrapped_text(dc, text_, box, 6, DT_VCENTER);
  if (previous) SelectObject(dc, previous);
}

}  // namespace quillary
