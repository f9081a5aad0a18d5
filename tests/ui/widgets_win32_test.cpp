// The window layer and the widgets on real windows: windows and dialogs of
// our own, the message loop, the image button, the hyperlink, the fonts,
// wrapped text, the panel list and the pie chart.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "platform/shell.h"
#include "platform/win32.h"
#include "tests/ui/ui_test_support_win32.h"
#include "ui/skin/panel_list_win32.h"
#include "ui/skin/pie_chart_win32.h"
#include "ui/skin/skin_fonts.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/skin/wrapped_text_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/window/link_win32.h"
#include "ui/window/message_loop_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {
namespace {

using testing::canvas_c;
using testing::pump;

// A plain top-level window that counts button clicks of its children.
class host_window_c : public window_c {
 public:
  explicit host_window_c(int width = 400, int height = 300) {
    window_class_info class_info;
    class_info.name = L"TestHost";
    class_info.background = GetSysColorBrush(COLOR_WINDOW);
    create(class_info, nullptr, u"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
           RECT{50, 50, 50 + width, 50 + height});
  }
  ~host_window_c() override { destroy(); }
  int clicks = 0;
  int wheel_turns = 0;  // passed on by a child
  UINT last_message = 0;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM, LRESULT&) override {
    if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) ++clicks;
    if (message == WM_MOUSEWHEEL) ++wheel_turns;
    if (message == WM_USER + 9) {
      last_message = message;
      return true;
    }
    return false;
  }
};

// --- window layer ----------------------------------------------------------

TEST(window_layer, messages_reach_the_object_and_the_rest_gets_default_processing) {
  host_window_c host;
  ASSERT_TRUE(host.handle());
  EXPECT_EQ(window_c::from_handle(host.handle()), &host);
  SendMessageW(host.handle(), WM_USER + 9, 0, 0);
  EXPECT_EQ(host.last_message, WM_USER + 9u);
  // Default processing answers WM_GETTEXT.
  wchar_t title[16] = {};
  GetWindowTextW(host.handle(), title, 16);
  EXPECT_STREQ(title, L"host");
}

class counting_static_c : public window_c {
 public:
  int seen = 0;

 protected:
  bool handle_message(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message == WM_USER + 3) {
      ++seen;
      result = 77;
      return true;
    }
    return false;
  }
};

TEST(window_layer, subclassing_takes_messages_and_gives_the_rest_to_the_control) {
  host_window_c host;
  HWND label = CreateWindowExW(0, L"STATIC", L"label", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20,
                               host.handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  const LONG_PTR original = GetWindowLongPtrW(label, GWLP_WNDPROC);
  counting_static_c spy;
  ASSERT_TRUE(spy.subclass(label));
  EXPECT_EQ(SendMessageW(label, WM_USER + 3, 0, 0), 77);
  wchar_t text[16] = {};
  GetWindowTextW(label, text, 16);
  EXPECT_STREQ(text, L"label");  // the control's own procedure answered
  spy.unsubclass();
  EXPECT_EQ(GetWindowLongPtrW(label, GWLP_WNDPROC), original);
  SendMessageW(label, WM_USER + 3, 0, 0);
  EXPECT_EQ(spy.seen, 1);
}

// Reports more characters than its text holds, as a length counted in
// another encoding may.
class overstated_length_c : public window_c {
 protected:
  bool handle_message(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message != WM_GETTEXTLENGTH) return false;
    result = 12;
    return true;
  }
};

TEST(window_layer, window_text_keeps_only_the_characters_copied) {
  host_window_c host;
  HWND label = CreateWindowExW(0, L"STATIC", L"label", WS_CHILD, 0, 0, 80, 20, host.handle(),
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  overstated_length_c overstated;
  ASSERT_TRUE(overstated.subclass(label));
  ASSERT_EQ(GetWindowTextLengthW(label), 12);
  EXPECT_EQ(window_text(label), u"label");
}

class ending_dialog_c : public dialog_c {
 protected:
  bool handle_message(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message == WM_INITDIALOG) {
      PostMessageW(handle(), WM_USER + 1, 0, 0);
      result = TRUE;
      return true;
    }
    if (message == WM_USER + 1) {
      end_dialog(42);
      return true;
    }
    return false;
  }
};

TEST(window_layer, a_dialog_from_a_template_in_memory_runs_modally) {
  dialog_template_c layout(WS_POPUP | WS_CAPTION, 0, 10, 10, 100, 60, u"Template");
  layout.add_item(0x0080, IDOK, WS_VISIBLE | BS_DEFPUSHBUTTON, 10, 10, 40, 14, u"OK");
  layout.add_item(u"STATIC", 100, WS_VISIBLE, 10, 30, 40, 10, u"text");
  ending_dialog_c dialog;
  EXPECT_EQ(dialog.run_modal(layout.get(), nullptr), 42);
  EXPECT_EQ(dialog.handle(), nullptr);
}

class counting_filter_c : public message_filter_i, public idle_handler_i {
 public:
  bool pre_translate_message(MSG& message) override {
    if (message.message != WM_USER + 20) return false;
    ++taken;
    return true;
  }
  void on_idle() override {
    ++idle;
    if (idle == 1) {
      PostThreadMessageW(GetCurrentThreadId(), WM_USER + 20, 0, 0);
    } else {
      PostQuitMessage(5);
    }
  }
  int taken = 0;
  int idle = 0;
};

TEST(message_loop, filters_take_messages_and_idle_handlers_run_when_the_queue_is_empty) {
  pump(10);
  message_loop_c loop;
  register_message_loop(&loop);
  EXPECT_EQ(current_message_loop(), &loop);
  counting_filter_c filter;
  loop.add_filter(&filter);
  loop.add_idle_handler(&filter);
  EXPECT_EQ(loop.run(), 5);
  EXPECT_EQ(filter.taken, 1);
  EXPECT_EQ(filter.idle, 2);
  loop.remove_filter(&filter);
  loop.remove_idle_handler(&filter);
  unregister_message_loop();
  EXPECT_EQ(current_message_loop(), nullptr);
}

// --- fonts -------------------------------------------------------------------

TEST(skin_fonts_win32, all_fonts_are_made_once_as_the_table_says) {
  create_skin_fonts();
  const HFONT first = font_verdana_8;
  create_skin_fonts();
  EXPECT_EQ(font_verdana_8, first);
  EXPECT_NE(font_verdana_8, font_verdana_8_alt);
  for (size_t i = 0; i < skin_font_table.size(); ++i) {
    const skin_font_entry& font_entry = skin_font_table[i];
    HFONT font = skin_font(i);
    ASSERT_NE(font, nullptr) << font_entry.name;
    LOGFONTW logical{};
    ASSERT_EQ(GetObjectW(font, sizeof logical, &logical), static_cast<int>(sizeof logical));
    EXPECT_EQ(from_wide(logical.lfFaceName), std::u16string(font_entry.face)) << font_entry.name;
    EXPECT_EQ(logical.lfHeight, -MulDiv(font_entry.points, 96, 72)) << font_entry.name;
    EXPECT_EQ(logical.lfWeight, font_entry.weight) << font_entry.name;
    EXPECT_EQ(logical.lfWidth, 0);
    EXPECT_FALSE(logical.lfItalic);
    EXPECT_FALSE(logical.lfUnderline);
    EXPECT_EQ(logical.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(logical.lfOutPrecision, OUT_OUTLINE_PRECIS);
    EXPECT_EQ(logical.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_EQ(logical.lfPitchAndFamily, VARIABLE_PITCH);
  }
  EXPECT_EQ(skin_font(21), nullptr);
}

// --- wrapped text ----------------------------------------------------------------

class wrapped_text : public ::testing::Test {
 protected:
  void SetUp() override {
    create_skin_fonts();
    SelectObject(canvas.dc(), font_verdana_10);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(0, 0, 0));
    TEXTMETRICW metrics{};
    GetTextMetricsW(canvas.dc(), &metrics);
    line_height = metrics.tmHeight;
  }
  canvas_c canvas{300, 300};
  int line_height = 0;
};

TEST_F(wrapped_text, measuring_a_short_text_gives_one_line) {
  RECT box{80, 30, 272, 100};
  draw_wrapped_text(canvas.dc(), u"Done.", box, 6, DT_CALCRECT);
  EXPECT_EQ(box.bottom, 30 + line_height);
  EXPECT_EQ(box.right, 272);
  EXPECT_TRUE(canvas.inked_rows(RGB(255, 255, 255)).empty());  // nothing drawn
}

TEST_F(wrapped_text, measuring_a_long_text_counts_its_lines_and_gaps) {
  const std::u16string text =
      u"The backup could not be completed because the backup folder cannot be written.";
  RECT box{80, 30, 272, 1000};
  draw_wrapped_text(canvas.dc(), text, box, 6, DT_CALCRECT);
  const int height = box.bottom - 30;
  ASSERT_GT(height, line_height);
  EXPECT_EQ((height + 6) % (line_height + 6), 0) << height;
  const int lines = (height + 6) / (line_height + 6);
  // Drawn, the ink stays within the measured height and uses every line.
  RECT drawn{80, 30, 272, 1000};
  draw_wrapped_text(canvas.dc(), text, drawn, 6, 0);
  EXPECT_EQ(drawn.bottom, box.bottom);
  const auto rows = canvas.inked_rows(RGB(255, 255, 255));
  ASSERT_FALSE(rows.empty());
  EXPECT_GE(rows.front(), 30);
  EXPECT_LT(rows.back(), box.bottom);
  EXPECT_GT(rows.back(), 30 + (lines - 1) * (line_height + 6));
}

TEST_F(wrapped_text, an_empty_text_changes_nothing) {
  RECT box{10, 10, 100, 50};
  draw_wrapped_text(canvas.dc(), u"", box, 6, 0);
  EXPECT_EQ(box.bottom, 50);
}

TEST_F(wrapped_text, a_text_that_fits_one_line_is_centred_vertically) {
  RECT box{80, 30, 272, 100};
  draw_wrapped_text(canvas.dc(), u"Centred", box, 6, DT_VCENTER);
  const auto rows = canvas.inked_rows(RGB(255, 255, 255));
  ASSERT_FALSE(rows.empty());
  const int middle = (rows.front() + rows.back()) / 2;
  EXPECT_NEAR(middle, 65, 4);
  EXPECT_EQ(box.bottom, 30 + line_height);
}

TEST_F(wrapped_text, lines_past_the_bottom_are_not_drawn) {
  RECT box{0, 0, 60, 2 * line_height + 6};
  draw_wrapped_text(canvas.dc(), u"one two three four five six seven eight", box, 6, 0);
  const auto rows = canvas.inked_rows(RGB(255, 255, 255));
  ASSERT_FALSE(rows.empty());
  EXPECT_LT(rows.back(), 2 * line_height + 6);
  EXPECT_EQ(box.bottom, 3 * line_height + 2 * 6);  // where the third line would end
}

// --- bitmap button ------------------------------------------------------------------

class bitmap_button : public ::testing::Test {
 protected:
  void SetUp() override {
    images = ImageList_Create(40, 20, ILC_COLOR32, 4, 0);
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(128, 128, 128)}) {
      HBITMAP bitmap = testing::solid_bitmap(40, 20, colour);
      ImageList_Add(images, bitmap, nullptr);
      DeleteObject(bitmap);
    }
    control = CreateWindowExW(0, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10,
                              100, 50, host.handle(), reinterpret_cast<HMENU>(1),
                              GetModuleHandleW(nullptr), nullptr);
    create_skin_fonts();
    button.set_image_list(images);
    button.set_images({0, 1, 2, 3});
    button.set_text_font(font_verdana_9_bold);
    button.set_text_colour(RGB(255, 255, 255));
    ASSERT_TRUE(button.subclass(control));
  }
  void TearDown() override { ImageList_Destroy(images); }

  COLORREF corner() {
    canvas_c canvas(40, 20, RGB(1, 2, 3));
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    return canvas.pixel(1, 1);
  }

  host_window_c host;
  HIMAGELIST images = nullptr;
  HWND control = nullptr;
  bitmap_button_c button;
};

TEST_F(bitmap_button, takes_the_size_of_its_images) {
  RECT r{};
  GetWindowRect(control, &r);
  EXPECT_EQ(r.right - r.left, 40);
  EXPECT_EQ(r.bottom - r.top, 20);
  EXPECT_TRUE(GetWindowLongPtrW(control, GWL_STYLE) & BS_OWNERDRAW);
}

TEST_F(bitmap_button, shows_the_image_of_its_state) {
  EXPECT_EQ(corner(), RGB(255, 0, 0));
  SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(button.hovering());
  EXPECT_EQ(corner(), RGB(0, 0, 255));
  SendMessageW(control, BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(corner(), RGB(0, 255, 0));
  SendMessageW(control, BM_SETSTATE, FALSE, 0);
  SendMessageW(control, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(corner(), RGB(255, 0, 0));
  EnableWindow(control, FALSE);
  EXPECT_EQ(corner(), RGB(128, 128, 128));
}

TEST_F(bitmap_button, writes_its_text_centred_in_its_colour) {
  canvas_c canvas(40, 20);
  SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  const int white = canvas.count([](COLORREF c) { return c == RGB(255, 255, 255); });
  EXPECT_GT(white, 5);
  // The text sits in the middle: the corners stay red.
  EXPECT_EQ(canvas.pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(canvas.pixel(39, 19), RGB(255, 0, 0));
}

TEST_F(bitmap_button, is_a_push_button_to_dialogs_and_shows_the_focus) {
  // The dialog manager makes a push button that takes the focus the
  // default (Enter) through these messages; the control stays owner drawn.
  EXPECT_EQ(SendMessageW(control, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
  SendMessageW(control, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  EXPECT_TRUE(button.is_default());
  EXPECT_EQ(SendMessageW(control, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  SendMessageW(control, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  EXPECT_FALSE(button.is_default());
  EXPECT_EQ(GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);

  // Focused, it shows the hover image and a focus rectangle inside it.
  SetFocus(control);
  ASSERT_TRUE(button.focused());
  EXPECT_EQ(corner(), RGB(0, 0, 255));
  canvas_c canvas(40, 20, RGB(1, 2, 3));
  SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  int dotted = 0;  // the rectangle's left line, a dotted one
  for (int y = 3; y < 17; ++y) dotted += canvas.pixel(3, y) != RGB(0, 0, 255);
  EXPECT_GE(dotted, 5);
  SetFocus(host.handle());
  EXPECT_EQ(corner(), RGB(255, 0, 0));
}

TEST_F(bitmap_button, still_clicks_like_a_button) {
  SendMessageW(control, BM_CLICK, 0, 0);
  EXPECT_EQ(host.clicks, 1);
}

// --- hyperlink -----------------------------------------------------------------------

TEST(link, anchor_colours_are_read_as_the_settings_write_them) {
  COLORREF colour = 0;
  EXPECT_TRUE(parse_anchor_colour(u"0,0,255", colour));
  EXPECT_EQ(colour, RGB(0, 0, 255));
  EXPECT_TRUE(parse_anchor_colour(u"128, 0,128", colour));
  EXPECT_EQ(colour, RGB(128, 0, 128));
  EXPECT_FALSE(parse_anchor_colour(u"0,0", colour));
  EXPECT_FALSE(parse_anchor_colour(u"0,0,256", colour));
  EXPECT_FALSE(parse_anchor_colour(u"blue", colour));
  EXPECT_FALSE(parse_anchor_colour(u"1,2,3,4", colour));
}

TEST(link, opens_its_target_on_click_enter_and_space) {
  host_window_c host;
  recording_shell_c shell;
  link_c link;
  ASSERT_TRUE(link.create(host.handle(), RECT{10, 10, 200, 30}, u"See the FAQ",
                          u"http://www.quillary.example/faq.php", 7));
  link.set_shell(&shell);
  const COLORREF unvisited = link.text_colour();
  SendMessageW(link.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(link.handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].target, u"http://www.quillary.example/faq.php");
  EXPECT_TRUE(link.visited());
  SendMessageW(link.handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_NE(link.text_colour(), unvisited);
  SendMessageW(link.handle(), WM_CHAR, VK_RETURN, 0);
  SendMessageW(link.handle(), WM_CHAR, VK_SPACE, 0);
  SendMessageW(link.handle(), WM_CHAR, 'a', 0);
  EXPECT_EQ(shell.calls.size(), 3u);
  // A press that ends outside the link opens nothing.
  SendMessageW(link.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(link.handle(), WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
  EXPECT_EQ(shell.calls.size(), 3u);
}

TEST(link, shows_the_hand_a_tool_tip_and_the_disabled_colour) {
  host_window_c host;
  link_c link;
  ASSERT_TRUE(link.create(host.handle(), RECT{10, 10, 200, 30}, u"FAQ", u"http://x.example/", 7));
  SendMessageW(link.handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(link.handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  ASSERT_TRUE(link.tool_tip());
  wchar_t name[32] = {};
  GetClassNameW(link.tool_tip(), name, 32);
  EXPECT_STREQ(name, L"tooltips_class32");
  EXPECT_EQ(SendMessageW(link.tool_tip(), TTM_GETTOOLCOUNT, 0, 0), 1);
  const anchor_colours colours = read_anchor_colours();
  EXPECT_EQ(link.text_colour(), colours.normal);
  EXPECT_TRUE(GetWindowLongPtrW(link.handle(), GWL_STYLE) & WS_TABSTOP);

  // Disabled, its text is painted in the disabled text colour, not as a link.
  EnableWindow(link.handle(), FALSE);
  EXPECT_EQ(link.text_colour(), GetSysColor(COLOR_GRAYTEXT));
  canvas_c canvas(190, 20, RGB(1, 2, 3));
  SendMessageW(link.handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
  const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
  const COLORREF anchor = colours.normal;
  EXPECT_GT(canvas.count([grey](COLORREF c) { return c == grey; }), 5);
  EXPECT_EQ(canvas.count([anchor](COLORREF c) { return c == anchor; }), 0);
  EnableWindow(link.handle(), TRUE);
  EXPECT_EQ(link.text_colour(), colours.normal);
}

// --- panel list ----------------------------------------------------------------------

class test_panel_c : public list_panel_c {
 public:
  explicit test_panel_c(int height) {
    panel_width = 300;
    panel_height = height;
  }
  int top() const {
    RECT r{};
    GetWindowRect(handle(), &r);
    POINT p{r.left, r.top};
    ScreenToClient(GetParent(handle()), &p);
    return p.y;
  }
  int width() const {
    RECT r{};
    GetWindowRect(handle(), &r);
    return r.right - r.left;
  }

 protected:
  window_class_info panel_class() const override {
    window_class_info class_info;
    class_info.name = L"TestPanel";
    class_info.background = GetSysColorBrush(COLOR_BTNFACE);
    return class_info;
  }
};

class panel_list : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(list.create(host.handle(), RECT{0, 0, 200, 400}, 5));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(list.add_panel(std::make_unique<test_panel_c>(60)));
  }
  void resize(int height) {
    SetWindowPos(list.handle(), nullptr, 0, 0, 200, height, SWP_NOMOVE | SWP_NOZORDER);
  }
  bool bar_shown() const { return (GetWindowLongPtrW(list.handle(), GWL_STYLE) & WS_VSCROLL) != 0; }
  int first_top() const { return list.panels()[0]->top(); }
  // Every panel whose window shows in the list stands at its y less the
  // scroll position, as wide as the list; the others may wait elsewhere.
  ::testing::AssertionResult showing_in_place() const {
    RECT client{};
    GetClientRect(list.handle(), &client);
    int showing = 0;
    for (const auto& panel : list.panels()) {
      const int top = panel->top();
      if (top >= client.bottom || top + panel->panel_height <= 0) continue;
      ++showing;
      if (top != panel->panel_y - list.scroll().position || panel->width() != client.right) {
        return ::testing::AssertionFailure() << "the panel at " << panel->panel_y << " shows at "
                                             << top << ", " << panel->width() << " wide";
      }
    }
    if (!showing) return ::testing::AssertionFailure() << "no panel shows";
    return ::testing::AssertionSuccess();
  }

  host_window_c host{500, 600};
  panel_list_c<test_panel_c> list;
};

TEST_F(panel_list, panels_that_fit_stack_without_a_scroll_bar) {
  EXPECT_EQ(list.scroll().content_height, 300);
  EXPECT_EQ(list.scroll().widest_panel, 300);
  EXPECT_FALSE(bar_shown());
  EXPECT_EQ(list.panels()[2]->top(), 120);
  EXPECT_EQ(list.panels()[2]->width(), 200);
}

TEST_F(panel_list, a_resize_that_overflows_shows_the_bar_and_clamps) {
  resize(150);
  EXPECT_TRUE(bar_shown());
  EXPECT_EQ(list.scroll().visible_height, 150);
  // Page down three times runs into the clamp: 300 − 150 + 1.
  for (int i = 0; i < 3; ++i) SendMessageW(list.handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(list.scroll().position, 151);
  EXPECT_EQ(list.panels()[3]->top(), 180 - 151);
  EXPECT_TRUE(showing_in_place());
  // Growing keeps the bar while the panels overflow and clamps again.
  resize(250);
  EXPECT_TRUE(bar_shown());
  EXPECT_EQ(list.scroll().position, 51);
  EXPECT_EQ(first_top(), -51);
  EXPECT_TRUE(showing_in_place());
  // Growing until everything fits hides the bar and shows all from the top.
  resize(400);
  EXPECT_FALSE(bar_shown());
  EXPECT_EQ(first_top(), 0);
  EXPECT_EQ(list.scroll().position, 0);
  EXPECT_TRUE(showing_in_place());
}

TEST_F(panel_list, the_wheel_scrolls_fifteen_pixels_a_notch) {
  resize(150);
  SendMessageW(list.handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  SendMessageW(list.handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(list.scroll().position, 20);
  SendMessageW(list.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(list.scroll().position, 35);
  EXPECT_EQ(first_top(), -35);
  EXPECT_EQ(host.wheel_turns, 0);  // used by the list: the parent stays put
  // One notch up moves the panels 15 pixels down.
  SendMessageW(list.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(first_top(), -20);
  SendMessageW(list.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), 0);
  EXPECT_EQ(list.scroll().position, 0);
  SendMessageW(list.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(list.scroll().position, 0);
  EXPECT_EQ(first_top(), 0);
  EXPECT_EQ(host.wheel_turns, 1);  // already at the top: the parent gets it
}

TEST_F(panel_list, the_wheel_does_nothing_when_all_panels_fit) {
  SendMessageW(list.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(list.scroll().position, 0);
  EXPECT_EQ(first_top(), 0);
  EXPECT_EQ(host.wheel_turns, 1);
}

TEST_F(panel_list, thumb_tracking_and_clearing) {
  resize(150);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  GetScrollInfo(list.handle(), SB_VERT, &info);
  EXPECT_EQ(info.nMax, 300);
  EXPECT_EQ(info.nPage, 150u);
  SendMessageW(list.handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(list.scroll().position, 150);
  // Back and forth: the panels of each place show where they belong.
  for (int code : {SB_PAGEUP, SB_PAGEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_PAGEUP}) {
    SendMessageW(list.handle(), WM_VSCROLL, code, 0);
    EXPECT_TRUE(showing_in_place()) << "at " << list.scroll().position;
  }
  EXPECT_EQ(list.scroll().position, 0);
  list.clear();
  EXPECT_TRUE(list.panels().empty());
  EXPECT_EQ(list.scroll().content_height, 0);
  EXPECT_FALSE(bar_shown());
}

// --- pie chart -----------------------------------------------------------------------

class pie_chart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(chart.create(host.handle(), u"Pie Chart", RECT{10, 10, 238, 119}));
  }
  void set_up_as_the_download_page() {
    chart.set_background(0xFF000000 | GetSysColor(COLOR_BTNFACE));
    chart.set_labels(false);
    chart.set_tilt(35);
    chart.set_thickness(50);
    chart.set_pie_rect(RECT{60, 20, 165, 100});
    chart.clear_slices();
    chart.add_slice(u"out", u"Out of date", 3, 0xFFFF0000);
    chart.add_slice(u"none", u"No driver", 1, 0xFFFFFF00);
    chart.add_slice(u"up", u"Up to date", 6, 0xFF16CD1F);
    for (const char16_t* name : {u"out", u"none", u"up"}) chart.set_explode(chart.find_slice(name), 5);
  }
  host_window_c host;
  CPieChart chart;
};

TEST_F(pie_chart, an_empty_chart_paints_only_white) {
  canvas_c canvas(228, 109, RGB(9, 9, 9));
  chart.render(canvas.dc());
  EXPECT_EQ(canvas.count([](COLORREF c) { return c != RGB(255, 255, 255); }), 0);
}

TEST_F(pie_chart, the_download_page_chart) {
  set_up_as_the_download_page();
  EXPECT_EQ(chart.model().tilt(), 35);
  EXPECT_EQ(chart.find_slice(u"out")->explode, 5);
  EXPECT_FALSE(IsWindowVisible(chart.scroll_bar()));
  canvas_c canvas(228, 109);
  chart.render(canvas.dc());
  const auto close_to = [](COLORREF c, COLORREF want) {
    return std::abs(GetRValue(c) - GetRValue(want)) < 8 && std::abs(GetGValue(c) - GetGValue(want)) < 8 &&
           std::abs(GetBValue(c) - GetBValue(want)) < 8;
  };
  EXPECT_GT(canvas.count([&](COLORREF c) { return close_to(c, RGB(255, 0, 0)); }), 50);
  EXPECT_GT(canvas.count([&](COLORREF c) { return close_to(c, RGB(22, 205, 31)); }), 200);
  EXPECT_GT(canvas.count([&](COLORREF c) { return close_to(c, RGB(255, 255, 0)); }), 20);
  // Outside the pie rectangle (and its explode offsets) the chart shows the
  // background it was given: the button face, a grey.
  EXPECT_EQ(canvas.pixel(5, 5), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(canvas.pixel(220, 100), GetSysColor(COLOR_BTNFACE));
}

TEST_F(pie_chart, zero_slices_are_left_out_and_the_rest_fill_the_pie) {
  set_up_as_the_download_page();
  chart.clear_slices();
  EXPECT_TRUE(chart.add_slice(u"out", u"", 2, 0xFFFF0000));
  EXPECT_FALSE(chart.add_slice(u"none", u"", 0, 0xFFFFFF00));
  EXPECT_TRUE(chart.add_slice(u"up", u"", 2, 0xFF16CD1F));
  EXPECT_FALSE(chart.add_slice(u"up", u"", 5, 0xFF0000FF));
  ASSERT_EQ(chart.model().slices().size(), 2u);
  EXPECT_FLOAT_EQ(chart.model().slices()[0]->sweep, 180);
}

TEST_F(pie_chart, tilt_is_clamped) {
  chart.set_tilt(120);
  EXPECT_EQ(chart.model().tilt(), 89);
  chart.set_tilt(-5);
  EXPECT_EQ(chart.model().tilt(), 0);
}

TEST_F(pie_chart, a_long_slice_list_shows_its_scroll_bar) {
  MoveWindow(chart.handle(), 0, 0, 300, 500, TRUE);
  for (int i = 0; i < 40; ++i) {
    chart.add_slice(u"slice " + std::u16string(1, static_cast<char16_t>(u'A' + i)), u"", 1 + i % 3,
                    0xFF3366CC);
  }
  EXPECT_TRUE(IsWindowVisible(chart.scroll_bar()) || IsWindowVisible(host.handle()) == FALSE);
  EXPECT_TRUE(GetWindowLongPtrW(chart.scroll_bar(), GWL_STYLE) & WS_VISIBLE);
  SendMessageW(chart.handle(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(chart.scroll_bar()));
  EXPECT_EQ(chart.scroll_position(), chart.model().row_height + chart.model().spacing);
  chart.clear_slices();
  EXPECT_EQ(chart.scroll_position(), 0);
  EXPECT_FALSE(GetWindowLongPtrW(chart.scroll_bar(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(pie_chart, thickness_follows_the_pie_height) {
  chart.set_thickness(50);  // computed pie of this client area: 150 high
  EXPECT_FLOAT_EQ(chart.model().thickness(), 50.0f / 74);
  EXPECT_TRUE(GetWindowLongPtrW(chart.handle(), GWL_STYLE) & WS_CLIPCHILDREN);
}

}  // namespace
}  // namespace quillary
