// The accessible object of the window base on real windows, read in this
// process as a client reads it: the window's element and its parts, their
// names, roles, states and places, the default action run later on the
// window's thread, and an object that outlives its window.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "tests/ui/ui_test_support_win32.h"
#include "ui/window/accessible_win32.h"
#include "ui/window/keyboard_navigator_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {
namespace {

using testing::pump;

// A window with two windowless parts: a button at (10, 10)-(60, 30) and a
// text below it, and one child window of the system's class.
class described_window_c : public window_c {
 public:
  explicit described_window_c(bool describes) : describes_(describes) {
    window_class_info class_info;
    class_info.name = describes ? L"QuillaryAccessibleTest" : L"QuillaryAccessibleTestPlain";
    create(class_info, nullptr, u"accessible", WS_POPUP | WS_VISIBLE, 0, RECT{50, 60, 250, 160});
    CreateWindowExW(0, L"STATIC", L"child", WS_CHILD | WS_VISIBLE, 0, 80, 50, 20, handle(), nullptr,
                    GetModuleHandleW(nullptr), nullptr);
  }
  ~described_window_c() override { destroy(); }

  bool accessible_items(accessible_view& view) override {
    if (!describes_) return false;
    view.self.role = accessible_role::pane;
    view.self.name = u"the page";
    accessible_item button;
    button.id = 7;
    button.role = accessible_role::push_button;
    button.name = u"Start scan";
    button.state = accessible_state::focusable;
    button.rect = {10, 10, 60, 30};
    button.default_action = u"Press";
    view.parts.push_back(button);
    accessible_item text;
    text.id = 8;
    text.role = accessible_role::static_text;
    text.name = text_name;
    text.rect = {10, 40, 100, 60};
    view.parts.push_back(text);
    if (third_part) view.parts.push_back(text);
    return true;
  }
  std::u16string text_name = u"Scanning";
  bool third_part = false;
  void do_accessible_action(int id) override { actions.push_back(id); }

  std::vector<int> actions;

 private:
  bool describes_;
};

IAccessible* object_of(HWND window) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), accessible_interface_id,
                                        reinterpret_cast<void**>(&object)))) {
    return nullptr;
  }
  return object;
}

VARIANT child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::u16string name_of(IAccessible* object, long id) {
  BSTR name = nullptr;
  if (object->get_accName(child(id), &name) != S_OK) return u"(none)";
  std::u16string text = from_wide(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

long long_of(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), IAccessible* object, long id) {
  VARIANT out;
  VariantInit(&out);
  if ((object->*get)(child(id), &out) != S_OK || out.vt != VT_I4) return -1;
  return out.lVal;
}

class accessible_object : public ::testing::Test {
 protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(accessible_object, names_roles_and_states_come_from_the_window_s_view) {
  described_window_c window(true);
  IAccessible* object = object_of(window.handle());
  ASSERT_NE(object, nullptr);
  long count = 0;
  ASSERT_EQ(object->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 3) << "two parts and the child window";
  EXPECT_EQ(name_of(object, CHILDID_SELF), u"the page");
  EXPECT_EQ(long_of(&IAccessible::get_accRole, object, CHILDID_SELF), ROLE_SYSTEM_PANE);
  EXPECT_EQ(name_of(object, 1), u"Start scan");
  EXPECT_EQ(long_of(&IAccessible::get_accRole, object, 1), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(long_of(&IAccessible::get_accState, object, 1), STATE_SYSTEM_FOCUSABLE);
  EXPECT_EQ(name_of(object, 2), u"Scanning");
  EXPECT_EQ(long_of(&IAccessible::get_accRole, object, 2), ROLE_SYSTEM_STATICTEXT);
  BSTR none = nullptr;
  EXPECT_EQ(object->get_accName(child(4), &none), E_INVALIDARG);

  // The parts are simple elements; the child window is an object of its own.
  IDispatch* dispatch = nullptr;
  EXPECT_EQ(object->get_accChild(child(1), &dispatch), S_FALSE);
  EXPECT_EQ(dispatch, nullptr);
  EXPECT_EQ(object->get_accChild(child(3), &dispatch), S_OK);
  ASSERT_NE(dispatch, nullptr);
  dispatch->Release();
  object->Release();
}

TEST_F(accessible_object, places_are_in_screen_coordinates_and_hit_tests_find_the_parts) {
  described_window_c window(true);
  IAccessible* object = object_of(window.handle());
  ASSERT_NE(object, nullptr);
  POINT origin{0, 0};
  ClientToScreen(window.handle(), &origin);
  long left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(object->accLocation(&left, &top, &width, &height, child(1)), S_OK);
  EXPECT_EQ(left, origin.x + 10);
  EXPECT_EQ(top, origin.y + 10);
  EXPECT_EQ(width, 50);
  EXPECT_EQ(height, 20);
  VARIANT hit;
  VariantInit(&hit);
  ASSERT_EQ(object->accHitTest(origin.x + 20, origin.y + 45, &hit), S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, 2);
  ASSERT_EQ(object->accHitTest(origin.x + 150, origin.y + 5, &hit), S_OK);
  EXPECT_EQ(hit.lVal, CHILDID_SELF);
  VARIANT next;
  VariantInit(&next);
  ASSERT_EQ(object->accNavigate(NAVDIR_NEXT, child(1), &next), S_OK);
  EXPECT_EQ(next.lVal, 2);
  object->Release();
}

TEST_F(accessible_object, the_default_action_runs_later_on_the_window_s_thread) {
  described_window_c window(true);
  IAccessible* object = object_of(window.handle());
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->accDoDefaultAction(child(1)), S_OK);
  EXPECT_TRUE(window.actions.empty()) << "not inside the client's call";
  pump();
  EXPECT_EQ(window.actions, std::vector<int>{7});
  // A text does nothing.
  EXPECT_EQ(object->accDoDefaultAction(child(2)), DISP_E_MEMBERNOTFOUND);
  object->Release();
}

TEST_F(accessible_object, an_object_held_after_its_window_has_gone_says_so) {
  IAccessible* object = nullptr;
  {
    described_window_c window(true);
    object = object_of(window.handle());
    ASSERT_NE(object, nullptr);
  }
  long count = 0;
  EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
  BSTR name = nullptr;
  EXPECT_EQ(object->get_accName(child(CHILDID_SELF), &name), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(object->accDoDefaultAction(child(1)), CO_E_OBJNOTCONNECTED);
  object->Release();
}

TEST_F(accessible_object, a_window_that_describes_nothing_keeps_the_system_s_object) {
  described_window_c window(false);
  IAccessible* object = object_of(window.handle());
  ASSERT_NE(object, nullptr);
  // The system's object names no part "Start scan".
  long count = 0;
  object->get_accChildCount(&count);
  for (long i = 1; i <= count; ++i) EXPECT_NE(name_of(object, i), u"Start scan");
  object->Release();
}

// What clients hear of the window's client object, from a hook in this
// process: the event and the child it is about.
std::vector<std::pair<DWORD, LONG>> heard;
void CALLBACK hear(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
  if (object == OBJID_CLIENT) heard.push_back({event, child});
}
bool heard_of(DWORD event, LONG child) {
  return std::find(heard.begin(), heard.end(), std::pair<DWORD, LONG>{event, child}) != heard.end();
}

TEST_F(accessible_object, what_changes_on_the_window_is_told_to_its_clients_once_one_reads_it) {
  described_window_c window(true);
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_VALUECHANGE, nullptr, hear,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_TRUE(hook);
  const auto repaint = [&] {
    InvalidateRect(window.handle(), nullptr, FALSE);
    UpdateWindow(window.handle());
    pump(100);
  };
  heard.clear();
  window.text_name = u"Nobody reads this";
  repaint();
  EXPECT_TRUE(heard.empty()) << "no client, no events";

  IAccessible* object = object_of(window.handle());
  ASSERT_TRUE(object);
  heard.clear();
  repaint();
  EXPECT_TRUE(heard.empty()) << "nothing changed since the client read it";
  window.text_name = u"Scanned";
  repaint();
  EXPECT_TRUE(heard_of(EVENT_OBJECT_NAMECHANGE, child_id_of(1))) << "the text, the second part";
  EXPECT_FALSE(heard_of(EVENT_OBJECT_NAMECHANGE, child_id_of(0)));
  heard.clear();
  window.third_part = true;
  repaint();
  EXPECT_TRUE(heard_of(EVENT_OBJECT_REORDER, CHILDID_SELF)) << "a part came";
  UnhookWinEvent(hook);
  object->Release();
}

TEST_F(accessible_object, alt_and_a_control_s_access_key_press_it_and_clients_read_the_key) {
  described_window_c window(true);
  keyboard_navigator_c keyboard;
  keyboard.set_root(window.handle());
  // "Start scan" is the window's one control: it takes S.
  const MSG alt_s{window.handle(), WM_SYSKEYDOWN, 'S', 0, 0, {}};
  EXPECT_TRUE(keyboard.take_key(alt_s));
  ASSERT_EQ(window.actions.size(), 1u);
  EXPECT_EQ(window.actions[0], 7) << "the button's default action, as a click";
  const MSG alt_q{window.handle(), WM_SYSKEYDOWN, 'Q', 0, 0, {}};
  EXPECT_FALSE(keyboard.take_key(alt_q)) << "no control's key: left to the system";
  const MSG s_alone{window.handle(), WM_KEYDOWN, 'S', 0, 0, {}};
  EXPECT_FALSE(keyboard.take_key(s_alone)) << "without Alt a letter is typed";
  EXPECT_EQ(window.actions.size(), 1u);

  IAccessible* object = object_of(window.handle());
  ASSERT_TRUE(object);
  BSTR shortcut = nullptr;
  ASSERT_EQ(object->get_accKeyboardShortcut(child(1), &shortcut), S_OK);
  EXPECT_EQ(from_wide(shortcut), u"Alt+S");
  SysFreeString(shortcut);
  shortcut = nullptr;
  EXPECT_EQ(object->get_accKeyboardShortcut(child(2), &shortcut), S_FALSE) << "a text takes no key";
  object->Release();
}

}  // namespace
}  // namespace quillary
