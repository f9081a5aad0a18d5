// The skinned message box, run modally: its layout by kind and its answers
// for each button, Enter, Escape and the caption's close button.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/language.h"
#include "platform/win32.h"
#include "tests/ui/ui_test_support_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/skin_colours.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {
namespace {

void load_english() {
  static bool loaded = false;
  if (loaded) return;
  std::ifstream file(QUILLARY_SOURCE_DIR "/resources/language.ini", std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  language_table().load_text(bytes.str(), u"English", true);
  loaded = true;
}

// What the running box looked like, taken by the action.
struct box_view {
  SIZE size{};
  bool second_visible = false;
  POINT first_at{}, second_at{};
  std::u16string first_text, second_text;
  COLORREF background = 0, band = 0;
};

std::function<void(HWND)> pending_action;

HWND find_box() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM out) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
          *reinterpret_cast<HWND*>(out) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void CALLBACK on_timer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = find_box();
  if (!box || !pending_action) return;
  KillTimer(nullptr, id);
  auto action = std::move(pending_action);
  pending_action = nullptr;
  testing::pump(150);  // painted and settled
  action(box);
}

POINT item_position(HWND box, int item) {
  RECT r{};
  GetWindowRect(GetDlgItem(box, item), &r);
  POINT p{r.left, r.top};
  ScreenToClient(box, &p);
  return p;
}

std::u16string item_text(HWND box, int item) {
  wchar_t text[64] = {};
  GetWindowTextW(GetDlgItem(box, item), text, 64);
  return from_wide(text);
}

// Runs a box of `kind`; `act` looks at it and answers it.
message_answer run_box(message_kind kind, const std::function<void(HWND, box_view&)>& act,
                       box_view* view = nullptr) {
  load_english();
  create_skin_fonts();
  box_view seen;
  pending_action = [&](HWND box) {
    RECT bounds{};
    GetWindowRect(box, &bounds);
    seen.size = {bounds.right - bounds.left, bounds.bottom - bounds.top};
    seen.second_visible = IsWindowVisible(GetDlgItem(box, 2)) != FALSE;
    seen.first_at = item_position(box, 1);
    seen.second_at = item_position(box, 2);
    seen.first_text = item_text(box, 1);
    seen.second_text = item_text(box, 2);
    HDC dc = GetDC(box);
    seen.background = GetPixel(dc, 40, 110);
    seen.band = GetPixel(dc, 8, 150);
    ReleaseDC(box, dc);
    act(box, seen);
  };
  SetTimer(nullptr, 0, 40, on_timer);
  message_window_c message(u"A message for the test.", kind);
  const message_answer answer = message.run(nullptr);
  if (view) *view = seen;
  return answer;
}

void click_item(HWND box, int item) { SendMessageW(GetDlgItem(box, item), BM_CLICK, 0, 0); }

void press_key(HWND box, WPARAM key) {
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : box, WM_KEYDOWN, key, 1);
  PostMessageW(focus ? focus : box, WM_KEYUP, key, 0xC0000001);
}

void click_close_button(HWND box) {
  RECT bounds{};
  GetWindowRect(box, &bounds);
  const int frame_width = GetSystemMetrics(SM_CXDLGFRAME), frame_height = GetSystemMetrics(SM_CYDLGFRAME);
  // The close button: 31 × 21 at the top right, inside the frame.
  const POINT at{bounds.right - frame_width - 15, bounds.top + frame_height + 10};
  const LPARAM where = testing::screen_point(at.x, at.y);
  SendMessageW(box, WM_NCMOUSEMOVE, HTCAPTION, where);
  SendMessageW(box, WM_NCLBUTTONDOWN, HTCAPTION, where);
  SendMessageW(box, WM_NCLBUTTONUP, HTCAPTION, where);
}

TEST(message_window, a_note_has_one_ok_button_in_the_middle) {
  box_view view;
  const message_answer answer = run_box(message_kind::note, [](HWND box, box_view&) { click_item(box, 1); }, &view);
  EXPECT_EQ(answer, message_answer::ok);
  EXPECT_EQ(view.size.cx, 300);
  EXPECT_EQ(view.size.cy, 200);
  EXPECT_FALSE(view.second_visible);
  EXPECT_EQ(view.first_at.x, 115);
  EXPECT_EQ(view.first_at.y, 136);
  EXPECT_EQ(view.first_text, u"OK");
  EXPECT_EQ(view.background, skin_colour::message_background);
  EXPECT_EQ(view.band, skin_colour::caption_band);
}

TEST(message_window, warnings_and_failures_answer_ok_with_the_button_and_cancel_with_escape) {
  EXPECT_EQ(run_box(message_kind::warning, [](HWND box, box_view&) { click_item(box, 1); }), message_answer::ok);
  EXPECT_EQ(run_box(message_kind::failure, [](HWND box, box_view&) { press_key(box, VK_ESCAPE); }),
            message_answer::cancel);
  EXPECT_EQ(run_box(message_kind::failure, [](HWND box, box_view&) { press_key(box, VK_RETURN); }),
            message_answer::ok);
}

TEST(message_window, a_question_answers_yes_no_and_closed) {
  box_view view;
  EXPECT_EQ(run_box(message_kind::question, [](HWND box, box_view&) { click_item(box, 1); }, &view),
            message_answer::yes);
  EXPECT_TRUE(view.second_visible);
  EXPECT_EQ(view.first_text, u"Yes");
  EXPECT_EQ(view.second_text, u"No");
  EXPECT_EQ(view.second_at.x, 50);
  EXPECT_EQ(view.first_at.x, 180);
  EXPECT_EQ(view.second_at.y, 136);
  EXPECT_EQ(run_box(message_kind::question, [](HWND box, box_view&) { click_item(box, 2); }), message_answer::no);
  EXPECT_EQ(run_box(message_kind::question, [](HWND box, box_view&) { click_close_button(box); }),
            message_answer::closed);
  EXPECT_EQ(run_box(message_kind::question, [](HWND box, box_view&) { press_key(box, VK_ESCAPE); }),
            message_answer::no);
}

// Enter is what a hurried user presses: in a cautious question it must
// answer No, while Yes stays a click away.
TEST(message_window, a_cautious_question_answers_no_to_enter) {
  EXPECT_EQ(run_box(message_kind::cautious_question, [](HWND box, box_view&) { press_key(box, VK_RETURN); }),
            message_answer::no);
  EXPECT_EQ(run_box(message_kind::question, [](HWND box, box_view&) { press_key(box, VK_RETURN); }),
            message_answer::yes);
  EXPECT_EQ(run_box(message_kind::cautious_question, [](HWND box, box_view&) { click_item(box, 1); }),
            message_answer::yes);
}

TEST(message_window, a_retry_box_offers_cancel_and_retry) {
  box_view view;
  EXPECT_EQ(run_box(message_kind::retry, [](HWND box, box_view&) { click_item(box, 1); }, &view),
            message_answer::retry);
  EXPECT_EQ(view.first_text, u"Retry");
  EXPECT_EQ(view.second_text, u"Cancel");
  EXPECT_EQ(run_box(message_kind::retry, [](HWND box, box_view&) { click_item(box, 2); }), message_answer::cancel);
  EXPECT_EQ(run_box(message_kind::retry, [](HWND box, box_view&) { click_close_button(box); }),
            message_answer::closed);
}

TEST(message_window, an_unknown_kind_shows_only_ok) {
  box_view view;
  EXPECT_EQ(run_box(static_cast<message_kind>(7), [](HWND box, box_view&) { click_close_button(box); }, &view),
            message_answer::closed);
  EXPECT_FALSE(view.second_visible);
  EXPECT_EQ(view.first_at.x, 115);
}

TEST(message_window, the_button_pictures_keep_their_size_when_missing) {
  box_view view;
  run_box(message_kind::note, [](HWND box, box_view& v) {
    RECT r{};
    GetWindowRect(GetDlgItem(box, 1), &r);
    v.size = {r.right - r.left, r.bottom - r.top};
    click_item(box, 1);
  }, &view);
  EXPECT_EQ(view.size.cx, 70);
  EXPECT_EQ(view.size.cy, 24);
}

TEST(message_window, is_centred_on_its_owner) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 200, 150, 600, 400,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(owner);
  load_english();
  RECT placed{};
  pending_action = [&](HWND box) {
    GetWindowRect(box, &placed);
    click_item(box, 1);
  };
  SetTimer(nullptr, 0, 40, on_timer);
  message_window_c message(u"Centred.", message_kind::note);
  EXPECT_EQ(message.run(owner), message_answer::ok);
  EXPECT_EQ(placed.left, 200 + (600 - 300) / 2);
  EXPECT_EQ(placed.top, 150 + (400 - 200) / 2);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace quillary
