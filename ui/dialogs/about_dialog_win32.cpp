#include "ui/dialogs/about_dialog_win32.h"

#include <memory>

#include "app/language.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "ui/dialogs/about_text.h"
#include "ui/dialogs/dialog_button_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/skin/wrapped_text_win32.h"

namespace quillary {
namespace {

constexpr int button_width = 130;
constexpr int button_height = 24;
constexpr int button_x = 340;
constexpr RECT close_rect{0, 0, 31, 21};
constexpr RECT text_box{15, 85, 470, 185};

}  // namespace

about_window_c::about_window_c(shell_i& shell, std::u16string program_folder)
    : ui_window_c<about_window_c>(caption_height), shell_(shell), program_folder_(std::move(program_folder)) {}

about_window_c::~about_window_c() {
  if (button_images_) ImageList_Destroy(button_images_);
  if (band_brush_) DeleteObject(band_brush_);
  if (band_bitmap_) DeleteObject(band_bitmap_);
  if (background_brush_) DeleteObject(background_brush_);
}

INT_PTR about_window_c::run(HWND owner) { return run_modal(GetModuleHandleW(nullptr), dialog_about, owner); }

void about_window_c::initialise() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  auto close = std::make_unique<system_button_c<about_window_c>>();
  RECT close_place = close_rect;
  OffsetRect(&close_place, frame_width, frame_height);
  close->create(instance, bitmap_close_normal, bitmap_close_hover, bitmap_close_pressed, close_place, u"");
  close->action = &about_window_c::close_clicked;
  close->name_key = "caption_close";
  add_button(std::move(close));
  // The caption is what screen readers and the task bar call the dialog:
  // in the program's language, as the button that opens it reads.
  SetWindowTextW(handle(), wide(text_of("menu_about")));

  header_.load(instance, bitmap_about_header);
  band_bitmap_ = load_skin_bitmap(instance, bitmap_about_band);
  if (band_bitmap_) {
    BITMAP info{};
    GetObjectW(band_bitmap_, sizeof info, &info);
    band_height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    // Brushes tile in device pixels: the band as drawn for the scale.
    DeleteObject(band_bitmap_);
    band_bitmap_ = load_skin_bitmap_at(instance, bitmap_about_band, scale());
    if (band_bitmap_) band_brush_ = CreatePatternBrush(band_bitmap_);
  }
  background_brush_ = CreateSolidBrush(colour_of(colour_role::about_ground));
  button_images_ = build_skin_image_list(instance, scale(), button_width, button_height,
                                         {bitmap_about_button_normal, bitmap_about_button_pressed,
                                          bitmap_about_button_hover});
  prepare_dialog_button(updater_button_, handle(), IDOK, button_images_, font_verdana_8, "about_btn_check",
                        button_x, 210);
  prepare_dialog_button(close_button_, handle(), IDCANCEL, button_images_, font_verdana_8, "about_btn_bk", button_x,
                        250);
  set_logical_size(width, height);
  centre_window(handle(), GetWindow(handle(), GW_OWNER));
  set_window_region();
}

void about_window_c::paint_frame_contents(HDC dc, const RECT& window) {
  fill_caption_band(dc, window);
  draw_border(dc, window);
  draw_caption_title(dc, 10, 10);
  header_.draw(dc, 20, 30);
  HGDIOBJ previous = font_arial_25_bold ? SelectObject(dc, font_arial_25_bold) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour_of(colour_role::about_header_text));
  const std::u16string& name = text_of("about_name");
  TextOutW(dc, 90, 49, wide(name), static_cast<int>(name.size()));
  if (previous) SelectObject(dc, previous);
  if (band_brush_ && !plain_skin()) {  // a picture of the skin
    RECT band{5, caption_height - band_height_, 490, caption_height};
    FillRect(dc, &band, band_brush_);
  }
  draw_buttons(dc, window);
}

bool about_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (handle_frame_message(message, wparam, lparam, result)) return true;
  switch (message) {
    case WM_INITDIALOG:
      initialise();
      result = TRUE;
      return true;
    default:
      return false;
  }
}

bool about_window_c::on_erase_background(HDC dc) {
  const RECT client = logical_client();
  FillRect(dc, &client, background_brush_);
  RECT box = text_box;
  HBRUSH white = CreateSolidBrush(colour_of(colour_role::about_box));
  FillRect(dc, &box, white);
  DeleteObject(white);
  return true;
}

bool about_window_c::on_command(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    start_updater();
    return true;
  }
  if (id == IDCANCEL) {
    end_dialog(2);
    return true;
  }
  return false;
}

void about_window_c::on_paint(HDC dc, const RECT&) {
  HGDIOBJ previous = font_verdana_8 ? SelectObject(dc, font_verdana_8) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour_of(colour_role::about_header_text));
  for (const auto& [key, y] : {std::pair<const char*, int>{"about_copyright", 5}, {"about_information", 65}}) {
    const std::u16string& text = text_of(key);
    TextOutW(dc, 15, y, wide(text), static_cast<int>(text.size()));
  }
  SetTextColor(dc, colour_of(colour_role::about_text));
  RECT box = text_box;
  box.left += 5;
  box.right -= 5;
  box.top += 10;
  box.bottom -= 10;
  draw_wrapped_text(dc, about_paragraph(text_of("about_info1"), build_date(), build_time()), box, 6, 0);
  if (previous) SelectObject(dc, previous);
}

void about_window_c::start_updater() {
  // A missing updater fails silently: the dialog closes either way.
  shell_.open(updater_path(program_folder_), u"");
  end_dialog(1);
}

}  // namespace quillary
