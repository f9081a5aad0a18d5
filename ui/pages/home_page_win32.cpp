#include "ui/pages/home_page_win32.h"

#include <windowsx.h>

#include "app/language.h"
#include "resources/resource_ids.h"
#include "ui/pages/home_layout.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/pages/scan_status.h"
#include "ui/skin/button_mouse_win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/window_messages.h"

namespace quillary {

bool home_window_c::create(HWND parent, const RECT& rect, bool visible) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  banner_.load(instance, home_banner_bitmap());
  footer_rule_.load(instance, bitmap_home_footer_rule);
  footer_icon_.load(instance, bitmap_home_footer_icon);
  side_bar_.load(instance);
  auto start = std::make_unique<home_button_c<home_window_c>>();
  start->create(instance, start_button_bitmap(0), start_button_bitmap(1), start_button_bitmap(2), RECT{},
                text_of("home_start_scan"));
  start->action = &home_window_c::start_clicked;
  start->name_key = "home_start_scan";
  buttons_.push_back(std::move(start));

  static const window_class_info info{L"QuillaryHomePage", CS_DBLCLKS, nullptr, nullptr};
  const DWORD style = WS_CHILD | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0);
  return window_c::create(info, parent, u"", style, 0, rect) != nullptr;
}

bool home_window_c::accessible_items(accessible_view& view) {
  RECT client = logical_client();
  view.self.role = accessible_role::pane;
  view.self.name = text_of("home_scan_for_driver_updates");
  const char* const steps[3] = {"home_scan_for_drivers", "home_download", "home_install"};
  const home_layout layout =
      place_home(client.right, client.bottom, banner_.width(), banner_.height(), footer_rule_.height());
  for (int i = 0; i < 3; ++i) {
    accessible_item step;
    step.role = accessible_role::static_text;
    step.name = text_of(steps[i]);
    step.state = accessible_state::read_only;
    step.rect = {layout.steps[i].x, layout.steps[i].y, layout.steps[i].x + layout.step_room[i],
                 layout.steps[i].y + 16};
    view.parts.push_back(std::move(step));
  }
  for (size_t i = 0; i < buttons_.size(); ++i) {
    accessible_item button = buttons_[i]->accessible(static_cast<int>(i), client);
    // Enter and Space on the page press it.
    button.state |= accessible_state::focusable;
    if (GetFocus() == handle()) button.state |= accessible_state::focused;
    view.parts.push_back(std::move(button));
  }
  accessible_item footer;
  footer.role = accessible_role::static_text;
  footer.name = text_of("home_brindle_automatically");
  footer.state = accessible_state::read_only;
  footer.rect = {layout.footer_text.x, layout.footer_text.y, client.right - side_bar_width,
                 layout.footer_text.y + 14};
  view.parts.push_back(std::move(footer));
  side_bar_.add_parts(view.parts, client);
  return true;
}

void home_window_c::do_accessible_action(int id) {
  if (id >= 0 && id < static_cast<int>(buttons_.size())) buttons_[static_cast<size_t>(id)]->click(*this);
}

void home_window_c::start_clicked() { SendMessageW(GetParent(handle()), UM_START_SCAN, 0, 0); }

bool home_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  // The start button's action shows another page: it runs last.
  if (handle_button_mouse(*this, handle(), buttons_, tracking_, message, lparam)) return true;
  switch (message) {
    case WM_GETDLGCODE:
      result = DLGC_WANTALLKEYS;
      return true;
    case WM_KEYDOWN:
      // The start button is the page's one action: Enter or Space runs it.
      if (wparam == VK_RETURN || wparam == VK_SPACE) {
        start_clicked();
        return true;
      }
      return false;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

bool home_window_c::on_size(UINT, int, int) {
  InvalidateRect(handle(), nullptr, FALSE);
  return true;
}

void home_window_c::on_paint(HDC dc, const RECT& client) {
  const home_layout layout =
      place_home(client.right, client.bottom, banner_.width(), banner_.height(), footer_rule_.height());
  draw_text_at(dc, text_of("home_scan_for_driver_updates"), 15, 10, font_verdana_12_bold, colour_of(colour_role::heading));
  banner_.draw(dc, layout.banner.x, layout.banner.y);
  // French, Italian and Spanish step names are long: a smaller face; so is
  // any name in any language that would run into the banner's pictures.
  const bool long_steps = is_language("fr") || is_language("it") || is_language("es");
  const char* const steps[3] = {"home_scan_for_drivers", "home_download", "home_install"};
  for (int i = 0; i < 3; ++i) {
    const std::u16string& name = text_of(steps[i]);
    HFONT font = long_steps ? font_verdana_8_bold : font_verdana_10_bold;
    if (text_extent(dc, name, font).cx > layout.step_room[i]) font = font_verdana_8_bold;
    draw_text_at(dc, name, layout.steps[i].x, layout.steps[i].y, font, colour_of(colour_role::heading));
  }
  for (auto& button : buttons_) button->draw(dc, client);
  footer_rule_.draw(dc, layout.footer_rule.x, layout.footer_rule.y);
  footer_icon_.draw(dc, layout.footer_icon.x, layout.footer_icon.y);
  draw_text_at(dc, text_of("home_brindle_automatically"), layout.footer_text.x, layout.footer_text.y,
               font_verdana_8_bold, colour_of(colour_role::heading));
  side_bar_.paint(dc, client, side_bar_indent(true, language_code(), side_bar_c::widest_label(dc)));
}

}  // namespace quillary
