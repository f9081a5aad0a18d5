#include "ui/window/keyboard_focus.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillary {
namespace {

accessible_item item(int id, accessible_role role, uint32_t state = accessible_state::none, uintptr_t window = 0) {
  accessible_item part;
  part.id = id;
  part.role = role;
  part.state = state;
  part.window = window;
  return part;
}

// A panel as the download page describes it: a text, its check box (a child
// window), its action button, and a hidden button.
accessible_view panel_view() {
  accessible_view view;
  view.parts = {item(7, accessible_role::static_text, accessible_state::read_only),
                item(-1, accessible_role::check_button, accessible_state::focusable, 0x500),
                item(0, accessible_role::push_button),
                item(1, accessible_role::push_button, accessible_state::invisible),
                item(2, accessible_role::push_button, accessible_state::unavailable)};
  return view;
}

TEST(keyboard_focus, controls_shown_and_available_take_the_focus) {
  EXPECT_TRUE(takes_focus(item(0, accessible_role::push_button)));
  EXPECT_TRUE(takes_focus(item(0, accessible_role::link)));
  EXPECT_TRUE(takes_focus(item(0, accessible_role::radio_button)));
  EXPECT_TRUE(takes_focus(item(0, accessible_role::static_text, accessible_state::focusable)));
  EXPECT_FALSE(takes_focus(item(0, accessible_role::static_text)));
  EXPECT_FALSE(takes_focus(item(0, accessible_role::chart)));
  EXPECT_FALSE(takes_focus(item(0, accessible_role::push_button, accessible_state::invisible)));
  EXPECT_FALSE(takes_focus(item(0, accessible_role::push_button, accessible_state::unavailable)));
}

TEST(keyboard_focus, stops_follow_the_view_and_a_child_window_gets_the_focus_itself) {
  std::vector<focus_stop> stops;
  add_focus_stops(0x100, panel_view(), stops);
  ASSERT_EQ(stops.size(), 2u);
  EXPECT_EQ(stops[0], (focus_stop{0x100, -1, 0x500}));
  EXPECT_EQ(stops[1], (focus_stop{0x100, 0, 0x100}));
  EXPECT_TRUE(pressed_by_owner(stops[0]));
  EXPECT_FALSE(pressed_by_owner(focus_stop{0x200, whole_window_part, 0x200}));
}

TEST(keyboard_focus, tab_and_shift_tab_wrap_around) {
  const std::vector<focus_stop> stops = {{1, 0, 1}, {1, 1, 1}, {2, whole_window_part, 2}};
  EXPECT_EQ(step_focus(stops, stops[0], false), 1u);
  EXPECT_EQ(step_focus(stops, stops[2], false), 0u);
  EXPECT_EQ(step_focus(stops, stops[0], true), 2u);
  EXPECT_EQ(step_focus(stops, stops[2], true), 1u);
}

TEST(keyboard_focus, from_nowhere_tab_starts_at_either_end) {
  const std::vector<focus_stop> stops = {{1, 0, 1}, {1, 1, 1}, {2, whole_window_part, 2}};
  EXPECT_EQ(step_focus(stops, std::nullopt, false), 0u);
  EXPECT_EQ(step_focus(stops, std::nullopt, true), 2u);
  EXPECT_EQ(step_focus(stops, focus_stop{9, 0, 9}, false), 0u);
  EXPECT_EQ(step_focus({}, std::nullopt, false), std::nullopt);
}

TEST(keyboard_focus, the_remembered_part_or_the_first_windowless_stop_has_the_focus) {
  const accessible_view view = panel_view();
  EXPECT_EQ(focused_part_of(view, 0), 0);
  // The hidden button, and the check box that has a window of its own,
  // are never the window's focused part.
  EXPECT_EQ(focused_part_of(view, 1), 0);
  EXPECT_EQ(focused_part_of(view, -1), 0);
  EXPECT_EQ(focused_part_of(view, std::nullopt), 0);
  accessible_view texts;
  texts.parts = {item(3, accessible_role::static_text)};
  EXPECT_EQ(focused_part_of(texts, std::nullopt), std::nullopt);
}

TEST(keyboard_focus, marking_moves_the_focused_state_to_the_part) {
  accessible_view view = panel_view();
  view.parts[2].state |= accessible_state::focused;  // claimed by the window
  mark_keyboard_focus(view, std::nullopt);
  EXPECT_FALSE(view.parts[2].state & accessible_state::focused);
  EXPECT_TRUE(view.parts[2].state & accessible_state::focusable);
  EXPECT_FALSE(view.parts[0].state & accessible_state::focusable);

  view.parts[1].state |= accessible_state::focused;  // the check box's own focus
  mark_keyboard_focus(view, 0);
  EXPECT_TRUE(view.parts[2].state & accessible_state::focused);
  EXPECT_TRUE(view.parts[1].state & accessible_state::focused);
  EXPECT_FALSE(view.parts[3].state & accessible_state::focused);
}

TEST(keyboard_focus, before_the_keyboard_chooses_a_part_the_window_s_own_claim_stands) {
  accessible_view view = panel_view();
  view.parts[2].state |= accessible_state::focused;
  view.parts[0].state |= accessible_state::focused;
  mark_focusable(view);
  EXPECT_TRUE(view.parts[2].state & accessible_state::focused);
  EXPECT_TRUE(view.parts[0].state & accessible_state::focused);
  EXPECT_FALSE(view.parts[0].state & accessible_state::focusable);
  EXPECT_TRUE(view.parts[2].state & accessible_state::focusable);
  EXPECT_FALSE(view.parts[3].state & accessible_state::focusable);
}

TEST(keyboard_focus, keys_map_to_commands) {
  EXPECT_EQ(command_of_key(virtual_key::tab, false), key_command::next);
  EXPECT_EQ(command_of_key(virtual_key::tab, true), key_command::previous);
  EXPECT_EQ(command_of_key(virtual_key::enter, false), key_command::press);
  EXPECT_EQ(command_of_key(virtual_key::space, true), key_command::press);
  EXPECT_EQ(command_of_key(virtual_key::apps, false), key_command::menu);
  EXPECT_EQ(command_of_key(virtual_key::f10, true), key_command::menu);
  EXPECT_EQ(command_of_key(virtual_key::f10, false), key_command::none);
  EXPECT_EQ(command_of_key('A', false), key_command::none);
}

TEST(keyboard_focus, access_keys_take_free_initials_then_free_letters_and_none_where_the_script_has_none) {
  const std::vector<char16_t> keys = choose_access_keys(
      {u"Home", u"Download", u"Backup", u"Restore", u"Settings", u"Select all updates", u"Download", u"scan",
       u"ホーム", u"الرئيسية", u"H", u"", u"Sound 2"});
  ASSERT_EQ(keys.size(), 13u);
  EXPECT_EQ(keys[0], u'H');
  EXPECT_EQ(keys[1], u'D');
  EXPECT_EQ(keys[2], u'B');
  EXPECT_EQ(keys[3], u'R');
  EXPECT_EQ(keys[4], u'S');
  EXPECT_EQ(keys[5], u'A') << "S is taken: the next word's initial";
  EXPECT_EQ(keys[6], 0) << "a second control of the same name gets none";
  EXPECT_EQ(keys[7], u'C') << "no initial free: the first free letter, upper case";
  EXPECT_EQ(keys[8], 0) << "Japanese";
  EXPECT_EQ(keys[9], 0) << "Arabic";
  EXPECT_EQ(keys[10], 0) << "its only letter is taken";
  EXPECT_EQ(keys[11], 0);
  EXPECT_EQ(keys[12], u'2') << "S is taken: the next word's initial, a digit";
  EXPECT_EQ(access_key_text(u'H'), u"Alt+H");
  EXPECT_EQ(access_key_text(0), u"");
}

}  // namespace
}  // namespace quillary
