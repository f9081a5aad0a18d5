// The window base's own handlers on real windows: painting direct or
// through an off-screen bitmap, erasing, and sizes, timers and commands
// handed to the window's handlers, for windows and dialogs alike; and the
// window's scale: logical pixels drawn, reported and placed at the display's
// DPI, and followed when the display's scale changes.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "tests/ui/ui_test_support_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {
namespace {

using testing::canvas_c;
using testing::pump;

constexpr COLORREF class_red = RGB(200, 0, 0);
constexpr COLORREF mark_blue = RGB(0, 0, 200);

// A top-level window with a red class background that marks a blue square
// at (10, 10) when it paints, and records what its handlers were given.
class plumbed_window_c : public window_c {
 public:
  explicit plumbed_window_c(painting style, const wchar_t* class_name) : style_(style) {
    background_ = CreateSolidBrush(class_red);
    window_class_info class_info;
    class_info.name = class_name;
    class_info.background = background_;
    create(class_info, nullptr, u"plumbing", WS_POPUP | WS_VISIBLE, 0, RECT{40, 40, 240, 160});
  }
  ~plumbed_window_c() override {
    destroy();
    DeleteObject(background_);
  }

  int paints = 0;
  DWORD paint_dc_type = 0;
  COLORREF beneath = CLR_INVALID;  // what the paint found before drawing
  RECT painted_client{};
  std::vector<UINT> size_kinds;
  SIZE last_size{};
  std::vector<UINT_PTR> timers;
  int command_id = 0, command_code = 0;
  HWND command_from = nullptr;
  bool map_takes_timers = false;
  int map_timers = 0;
  int scale_changes = 0;

 protected:
  bool handle_message(UINT message, WPARAM, LPARAM, LRESULT&) override {
    if (message == WM_TIMER && map_takes_timers) {
      ++map_timers;
      return true;
    }
    return false;
  }
  painting paint_style() const override { return style_; }
  void on_paint(HDC dc, const RECT& client) override {
    ++paints;
    paint_dc_type = GetObjectType(dc);
    beneath = GetPixel(dc, 50, 50);
    painted_client = client;
    RECT mark{10, 10, 20, 20};
    HBRUSH blue = CreateSolidBrush(mark_blue);
    FillRect(dc, &mark, blue);
    DeleteObject(blue);
  }
  bool on_size(UINT kind, int width, int height) override {
    size_kinds.push_back(kind);
    last_size = {width, height};
    return true;
  }
  void on_scale_changed() override { ++scale_changes; }
  bool on_timer(UINT_PTR id) override {
    timers.push_back(id);
    KillTimer(handle(), id);
    return true;
  }
  bool on_command(int id, int code, HWND from) override {
    command_id = id;
    command_code = code;
    command_from = from;
    return true;
  }

 private:
  painting style_;
  HBRUSH background_ = nullptr;
};

COLORREF window_pixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

TEST(window_plumbing, a_buffered_window_paints_off_screen_on_white_and_erases_nothing) {
  plumbed_window_c window(window_c::painting::buffered, L"PlumbingBuffered");
  ASSERT_TRUE(window.handle());
  RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pump(100);
  ASSERT_GE(window.paints, 1);
  EXPECT_EQ(window.paint_dc_type, static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(window.beneath, RGB(255, 255, 255));
  EXPECT_EQ(window.painted_client.right, 200);
  EXPECT_EQ(window.painted_client.bottom, 120);
  EXPECT_EQ(window_pixel(window.handle(), 15, 15), mark_blue);
  // The class's red never shows: the background is left to the paint.
  EXPECT_EQ(window_pixel(window.handle(), 100, 100), RGB(255, 255, 255));
  canvas_c canvas(8, 8, RGB(0, 255, 0));
  EXPECT_EQ(SendMessageW(window.handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0), 1);
  EXPECT_EQ(canvas.pixel(4, 4), RGB(0, 255, 0));
}

TEST(window_plumbing, a_direct_window_paints_on_the_window_and_erases_by_default) {
  plumbed_window_c window(window_c::painting::direct, L"PlumbingDirect");
  ASSERT_TRUE(window.handle());
  RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pump(100);
  ASSERT_GE(window.paints, 1);
  EXPECT_NE(window.paint_dc_type, static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(window.beneath, class_red);  // erased by the class brush first
  EXPECT_EQ(window_pixel(window.handle(), 15, 15), mark_blue);
  EXPECT_EQ(window_pixel(window.handle(), 100, 100), class_red);
  canvas_c canvas(8, 8, RGB(0, 255, 0));
  SendMessageW(window.handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0);
  EXPECT_EQ(canvas.pixel(4, 4), class_red);
}

TEST(window_plumbing, a_window_that_paints_nothing_gets_default_painting) {
  plumbed_window_c window(window_c::painting::none, L"PlumbingNone");
  ASSERT_TRUE(window.handle());
  RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pump(100);
  EXPECT_EQ(window.paints, 0);
  EXPECT_FALSE(GetUpdateRect(window.handle(), nullptr, FALSE));  // validated all the same
  EXPECT_EQ(window_pixel(window.handle(), 15, 15), class_red);
}

TEST(window_plumbing, sizes_timers_and_commands_reach_their_handlers) {
  plumbed_window_c window(window_c::painting::buffered, L"PlumbingSizes");
  ASSERT_TRUE(window.handle());
  window.size_kinds.clear();
  SetWindowPos(window.handle(), nullptr, 0, 0, 150, 90, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_FALSE(window.size_kinds.empty());
  EXPECT_EQ(window.size_kinds.back(), static_cast<UINT>(SIZE_RESTORED));
  EXPECT_EQ(window.last_size.cx, 150);
  EXPECT_EQ(window.last_size.cy, 90);

  SetTimer(window.handle(), 7, 10, nullptr);
  for (int i = 0; i < 40 && window.timers.empty(); ++i) pump(25);
  ASSERT_EQ(window.timers.size(), 1u);
  EXPECT_EQ(window.timers[0], 7u);

  const HWND from = window.handle();
  EXPECT_EQ(SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(12, BN_CLICKED),
                         reinterpret_cast<LPARAM>(from)),
            0);
  EXPECT_EQ(window.command_id, 12);
  EXPECT_EQ(window.command_code, BN_CLICKED);
  EXPECT_EQ(window.command_from, from);
}

TEST(window_plumbing, the_message_map_comes_first) {
  plumbed_window_c window(window_c::painting::buffered, L"PlumbingMap");
  ASSERT_TRUE(window.handle());
  window.map_takes_timers = true;
  SendMessageW(window.handle(), WM_TIMER, 3, 0);
  EXPECT_EQ(window.map_timers, 1);
  EXPECT_TRUE(window.timers.empty());
}

// A child window of ours that counts its scale changes.
class counted_child_c : public window_c {
 public:
  int scale_changes = 0;

 protected:
  void on_scale_changed() override { ++scale_changes; }
};

TEST(window_plumbing, a_window_moved_to_a_display_of_150_percent_draws_reports_and_places_at_it) {
  plumbed_window_c window(window_c::painting::buffered, L"PlumbingScaled");
  ASSERT_TRUE(window.handle());
  ASSERT_TRUE(window.scale().unscaled()) << "the tests' display is at 100 %";
  counted_child_c child;
  window_class_info child_class;
  child_class.name = L"PlumbingScaledChild";
  ASSERT_TRUE(child.create(child_class, window.handle(), u"", WS_CHILD | WS_VISIBLE, 0, RECT{10, 10, 50, 30}));
  HWND system_control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, window.handle(),
                                        nullptr, GetModuleHandleW(nullptr), nullptr);

  // As Windows sends it: the new DPI, and the rectangle of the same logical
  // size at that DPI, the top-left corner kept.
  RECT suggested{40, 40, 40 + 300, 40 + 180};
  SendMessageW(window.handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window.scale().dpi, 144);
  EXPECT_EQ(child.scale().dpi, 144) << "windows of ours inside take the window's scale";
  EXPECT_EQ(window.scale_changes, 1);
  EXPECT_EQ(child.scale_changes, 1);
  RECT bounds{};
  GetWindowRect(window.handle(), &bounds);
  EXPECT_EQ(bounds.right - bounds.left, 300);
  EXPECT_EQ(window.last_size.cx, 200) << "sizes reach the window in logical pixels";
  EXPECT_EQ(window.last_size.cy, 120);
  EXPECT_EQ(window.logical_client().right, 200);

  // A point of the display's pixels is a logical one inside the window.
  const POINT at = window.logical_point(MAKELPARAM(30, 45));
  EXPECT_EQ(at.x, 20);
  EXPECT_EQ(at.y, 30);
  // A child placed in logical pixels stands at the display's.
  window.place_child(system_control, RECT{10, 20, 50, 30});
  RECT placed{};
  GetWindowRect(system_control, &placed);
  MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 15);
  EXPECT_EQ(placed.top, 30);
  EXPECT_EQ(placed.right, 75);
  EXPECT_EQ(placed.bottom, 45);

  // The mark at logical (10, 10)-(20, 20) covers (15, 15)-(30, 30).
  RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  pump(100);
  EXPECT_EQ(window.painted_client.right, 200);
  EXPECT_EQ(window_pixel(window.handle(), 16, 16), mark_blue);
  EXPECT_EQ(window_pixel(window.handle(), 28, 28), mark_blue);
  EXPECT_EQ(window_pixel(window.handle(), 12, 12), RGB(255, 255, 255));
  EXPECT_EQ(window_pixel(window.handle(), 31, 16), RGB(255, 255, 255));

  // Back at 100 %, as it was.
  RECT back{40, 40, 240, 160};
  SendMessageW(window.handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&back));
  EXPECT_TRUE(window.scale().unscaled());
  EXPECT_EQ(window.last_size.cx, 200);
  EXPECT_EQ(window.logical_client().right, 200);
}

// A dialog that ends with the id of the command it is given.
class command_dialog_c : public dialog_c {
 protected:
  bool handle_message(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message != WM_INITDIALOG) return false;
    PostMessageW(handle(), WM_COMMAND, MAKEWPARAM(IDRETRY, BN_CLICKED), 0);
    result = TRUE;
    return true;
  }
  bool on_command(int id, int code, HWND) override {
    if (code != BN_CLICKED) return false;
    end_dialog(id * 10);
    return true;
  }
};

TEST(window_plumbing, dialogs_hand_commands_to_their_handler) {
  dialog_template_c layout(WS_POPUP | WS_CAPTION, 0, 0, 0, 100, 60, u"commands");
  command_dialog_c dialog;
  EXPECT_EQ(dialog.run_modal(layout.get(), nullptr), IDRETRY * 10);
}

}  // namespace
}  // namespace quillary
