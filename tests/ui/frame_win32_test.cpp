// The skinned frame on a real window: its caption height, its painting and
// the hover, press and click rules of its caption buttons.
#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/ui_test_support_win32.h"
#include "ui/skin/skin_colours.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {
namespace {

using testing::pump;
using testing::screen_point;

// A resizable captioned window with two caption buttons, as the main window
// has them: a first one at the right edge and a second beside it.
class test_frame_c : public window_c, public ui_window_c<test_frame_c> {
 public:
  test_frame_c() : ui_window_c<test_frame_c>(30) {}
  ~test_frame_c() override { destroy(); }

  bool create_frame(const std::u16string& title) {
    window_class_info class_info;
    class_info.name = L"TestSkinFrame";
    class_info.style = CS_DBLCLKS;
    class_info.background = GetSysColorBrush(COLOR_WINDOW);
    const RECT place{100, 100, 500, 400};
    if (!create(class_info, nullptr, title, WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX,
                0, place)) {
      return false;
    }
    auto first = std::make_unique<system_button_c<test_frame_c>>();
    first->create(GetModuleHandleW(nullptr), 0, 0, 0, button_rect(0), u"");
    first->action = &test_frame_c::first_clicked;
    add_button(std::move(first));
    auto second = std::make_unique<system_button_c<test_frame_c>>();
    second->create(GetModuleHandleW(nullptr), 0, 0, 0, button_rect(30), u"");
    second->action = &test_frame_c::second_clicked;
    add_button(std::move(second));
    set_window_region();
    ShowWindow(handle(), SW_SHOWNORMAL);
    UpdateWindow(handle());
    return true;
  }

  RECT button_rect(int from_right) const {
    RECT r{from_right, 0, from_right + 30, 21};
    OffsetRect(&r, frame_height, frame_width);
    return r;
  }
  // A point inside a caption button, in screen coordinates.
  POINT button_point(int index) const {
    RECT window{};
    GetWindowRect(handle(), &window);
    const RECT r = buttons[static_cast<size_t>(index)]->rect;
    return {window.right - (r.left + r.right) / 2, window.top + (r.top + r.bottom) / 2};
  }
  POINT bare_caption_point() const {
    RECT window{};
    GetWindowRect(handle(), &window);
    return {window.left + 150, window.top + frame_height + 8};
  }

  LRESULT send(UINT message, POINT at, WPARAM hit = HTCAPTION) {
    return SendMessageW(handle(), message, hit, screen_point(at.x, at.y));
  }

  int first_clicks = 0;
  int second_clicks = 0;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    return handle_frame_message(message, wparam, lparam, result);
  }

 private:
  void first_clicked() { ++first_clicks; }
  void second_clicked() { ++second_clicks; }
};

class frame : public ::testing::Test {
 protected:
  void SetUp() override {
    create_skin_fonts();
    ASSERT_TRUE(window.create_frame(u"Skin test"));
    pump(200);
  }
  test_frame_c window;
};

TEST_F(frame, the_client_area_starts_below_the_skin_caption) {
  RECT bounds{};
  GetWindowRect(window.handle(), &bounds);
  POINT client_origin{0, 0};
  ClientToScreen(window.handle(), &client_origin);
  EXPECT_EQ(client_origin.y - bounds.top, window.skin_caption_height + window.frame_height);
  EXPECT_EQ(window.system_caption_height, GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(window.frame_width, GetSystemMetrics(SM_CXFRAME));
}

TEST_F(frame, caption_band_and_border_are_painted_in_the_skin_colours) {
  window.paint_frame();
  HDC dc = GetWindowDC(window.handle());
  RECT bounds{};
  GetWindowRect(window.handle(), &bounds);
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  EXPECT_EQ(GetPixel(dc, 0, 0), skin_colour::outer_border);
  EXPECT_EQ(GetPixel(dc, width - 1, height / 2), skin_colour::outer_border);
  EXPECT_EQ(GetPixel(dc, width / 2, height - 1), skin_colour::outer_border);
  EXPECT_EQ(GetPixel(dc, 1, height / 2), skin_colour::caption_band);
  EXPECT_EQ(GetPixel(dc, width / 2, window.frame_height + 25), skin_colour::caption_band);
  ReleaseDC(window.handle(), dc);
}

// A scheme whose colours are found nowhere in the skin.
class odd_system_colours_c : public system_colours_i {
 public:
  uint32_t colour(system_colour index) const override {
    return skin_rgb(10, 20, static_cast<uint32_t>(index) * 5);
  }
};

TEST_F(frame, in_high_contrast_the_band_and_border_take_the_system_colours) {
  program_palette().use(true, odd_system_colours_c{});
  window.paint_frame();
  HDC dc = GetWindowDC(window.handle());
  RECT bounds{};
  GetWindowRect(window.handle(), &bounds);
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  const COLORREF band = GetPixel(dc, width / 2, window.frame_height + 25);
  const COLORREF border = GetPixel(dc, 0, 0);
  ReleaseDC(window.handle(), dc);
  program_palette().use(false, odd_system_colours_c{});
  EXPECT_EQ(band, skin_rgb(10, 20, COLOR_ACTIVECAPTION * 5));
  EXPECT_EQ(border, skin_rgb(10, 20, COLOR_WINDOWFRAME * 5));
}

TEST_F(frame, a_colour_change_reads_the_theme_again) {
  assume_high_contrast(false);
  ASSERT_FALSE(program_palette().plain());
  assume_high_contrast(true);
  program_palette().use(false, odd_system_colours_c{});  // as before the change
  SendMessageW(window.handle(), WM_SYSCOLORCHANGE, 0, 0);
  const bool plain = program_palette().plain();
  const COLORREF ground = colour_of(colour_role::page_ground);
  assume_high_contrast(false);
  EXPECT_TRUE(plain);
  EXPECT_EQ(ground, GetSysColor(COLOR_WINDOW));
  EXPECT_FALSE(program_palette().plain());
  EXPECT_EQ(colour_of(colour_role::page_ground), skin_colour::page_ground);
}

TEST_F(frame, the_title_is_drawn_unless_it_is_only_blanks) {
  const auto title_ink = [&] {
    window.paint_frame();
    HDC dc = GetWindowDC(window.handle());
    int ink = 0;
    for (int y = 10; y < 24; ++y)
      for (int x = 10; x < 80; ++x) ink += GetPixel(dc, x, y) != skin_colour::caption_band;
    ReleaseDC(window.handle(), dc);
    return ink;
  };
  EXPECT_GT(title_ink(), 0);
  SetWindowTextW(window.handle(), L"   \t ");
  EXPECT_EQ(title_ink(), 0);
}

TEST_F(frame, hover_press_and_click_on_a_caption_button) {
  const POINT at = window.button_point(0);
  window.send(WM_NCMOUSEMOVE, at);
  EXPECT_EQ(window.buttons[0]->state, button_state::hover);
  EXPECT_TRUE(window.tracking);
  window.send(WM_NCLBUTTONDOWN, at);
  EXPECT_TRUE(window.handled);
  EXPECT_EQ(window.buttons[0]->state, button_state::pressed);
  window.send(WM_NCLBUTTONUP, at);
  EXPECT_EQ(window.buttons[0]->state, button_state::hover);
  EXPECT_EQ(window.first_clicks, 1);
  EXPECT_EQ(window.second_clicks, 0);
  // Moving to the other button: first the lit one goes out, then the other
  // lights up.
  window.send(WM_NCMOUSEMOVE, window.button_point(1));
  EXPECT_EQ(window.buttons[0]->state, button_state::normal);
  window.send(WM_NCMOUSEMOVE, window.button_point(1));
  EXPECT_EQ(window.buttons[1]->state, button_state::hover);
  window.send(WM_NCMOUSELEAVE, POINT{0, 0}, 0);
  EXPECT_EQ(window.buttons[1]->state, button_state::normal);
  EXPECT_FALSE(window.tracking);
}

TEST_F(frame, a_release_over_a_merely_hovered_button_does_not_fire) {
  const POINT at = window.button_point(1);
  window.send(WM_NCMOUSEMOVE, at);
  window.send(WM_NCLBUTTONUP, at);
  EXPECT_EQ(window.second_clicks, 0);
}

TEST_F(frame, a_press_on_the_bare_caption_is_left_to_the_system) {
  // Pressed elsewhere, a button is not pressed, and the message goes on to
  // the system (which would move the window); it is not consumed here.
  window.send(WM_NCMOUSEMOVE, window.bare_caption_point());
  EXPECT_EQ(window.buttons[0]->state, button_state::normal);
  EXPECT_EQ(window.buttons[1]->state, button_state::normal);
}

TEST_F(frame, a_press_on_the_bare_caption_that_ends_over_a_button_does_not_fire_it) {
  // Real input: the system's move loop takes the press and the release.
  const POINT start = window.bare_caption_point();
  const POINT end = window.button_point(0);
  SetForegroundWindow(window.handle());
  pump(100);
  SetCursorPos(start.x, start.y);
  pump(100);
  INPUT inputs[4] = {};
  for (auto& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  const int screen_width = GetSystemMetrics(SM_CXSCREEN), screen_height = GetSystemMetrics(SM_CYSCREEN);
  inputs[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dx = (start.x + 20) * 65535 / (screen_width - 1);
  inputs[1].mi.dy = start.y * 65535 / (screen_height - 1);
  inputs[2].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dx = end.x * 65535 / (screen_width - 1);
  inputs[2].mi.dy = end.y * 65535 / (screen_height - 1);
  inputs[3].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(4, inputs, sizeof(INPUT)), 4u);
  pump(600);
  EXPECT_EQ(window.first_clicks, 0);
  EXPECT_NE(window.buttons[0]->state, button_state::pressed);
}

TEST_F(frame, a_real_click_on_a_caption_button_fires_it) {
  const POINT at = window.button_point(1);
  SetForegroundWindow(window.handle());
  SetCursorPos(at.x, at.y);
  pump(150);
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(SendInput(2, inputs, sizeof(INPUT)), 2u);
  pump(400);
  EXPECT_EQ(window.second_clicks, 1);
}

TEST_F(frame, a_double_click_on_a_caption_button_never_maximises) {
  const POINT at = window.button_point(0);
  window.send(WM_NCLBUTTONDOWN, at);
  window.send(WM_NCLBUTTONUP, at);
  window.send(WM_NCLBUTTONDBLCLK, at);
  EXPECT_TRUE(window.handled);
  window.send(WM_NCLBUTTONUP, at);
  pump(100);
  EXPECT_FALSE(IsZoomed(window.handle()));
  EXPECT_EQ(window.first_clicks, 1);
  // On the bare caption the system's double click does maximise.
  window.send(WM_NCLBUTTONDBLCLK, window.bare_caption_point());
  EXPECT_FALSE(window.handled);
  pump(200);
  EXPECT_TRUE(IsZoomed(window.handle()));
}

TEST_F(frame, the_window_region_is_the_whole_rectangle) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(window.handle(), region), SIMPLEREGION);
  RECT box{};
  GetRgnBox(region, &box);
  RECT bounds{};
  GetWindowRect(window.handle(), &bounds);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, bounds.right - bounds.left);
  EXPECT_EQ(box.bottom, bounds.bottom - bounds.top);
  DeleteObject(region);
}

}  // namespace
}  // namespace quillary
