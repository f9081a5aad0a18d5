// The skin's arithmetic without windows: fonts, button rules and places,
// message box layouts, panel list scrolling, centring on an owner.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/skin/button_geometry.h"
#include "ui/skin/button_rules.h"
#include "ui/skin/message_box_layout.h"
#include "ui/skin/panel_scroll.h"
#include "ui/skin/skin_colours.h"
#include "ui/skin/skin_fonts.h"
#include "ui/window/placement.h"

namespace quillary {
namespace {

// --- fonts ---------------------------------------------------------------

TEST(skin_fonts, mul_div_rounds_half_away_from_zero) {
  EXPECT_EQ(mul_div(8, 96, 72), 11);   // 10.67
  EXPECT_EQ(mul_div(9, 96, 72), 12);   // 12
  EXPECT_EQ(mul_div(3, 1, 2), 2);      // 1.5
  EXPECT_EQ(mul_div(-3, 1, 2), -2);
  EXPECT_EQ(mul_div(5, 1, 4), 1);      // 1.25
  EXPECT_EQ(mul_div(3, 1, -2), -2);
}

TEST(skin_fonts, heights_are_points_on_a_96_pixel_inch) {
  const std::pair<int, int> expected[] = {{8, -11}, {9, -12},  {10, -13}, {11, -15},
                                          {12, -16}, {14, -19}, {15, -20}, {16, -21},
                                          {18, -24}, {22, -29}, {25, -33}};
  for (const auto& [points, height] : expected) {
    EXPECT_EQ(skin_font_height(points), height) << points << " points";
  }
}

TEST(skin_fonts, twenty_one_fonts_with_their_faces_sizes_and_weights) {
  ASSERT_EQ(skin_font_table.size(), 21u);
  std::set<std::string> names;
  for (const auto& font_entry : skin_font_table) names.insert(font_entry.name);
  EXPECT_EQ(names.size(), 21u);
  const auto& bold_12 = skin_font_table[13];
  EXPECT_STREQ(bold_12.name, "font_verdana_12_bold");
  EXPECT_EQ(std::u16string(bold_12.face), u"verdana");  // as written, lower case
  EXPECT_EQ(bold_12.points, 12);
  EXPECT_EQ(bold_12.weight, 700);
  EXPECT_EQ(std::u16string(skin_font_table[7].face), u"Verdana");
  EXPECT_STREQ(skin_font_table[8].name, "font_verdana_8_alt");
  EXPECT_EQ(skin_font_table[8].points, 8);
  EXPECT_EQ(skin_font_table[8].weight, 400);
  EXPECT_STREQ(skin_font_table[6].name, "font_arial_25_bold");
  EXPECT_EQ(skin_font_table[6].weight, 700);
  int arial = 0;
  for (const auto& font_entry : skin_font_table) arial += std::u16string(font_entry.face) == u"Arial";
  EXPECT_EQ(arial, 7);
}

TEST(skin_colours, are_colorref_values) {
  EXPECT_EQ(skin_colour::caption_band, 0xF1B88Bu);  // (139,184,241)
  EXPECT_EQ(skin_colour::outer_border, 0x8A5A42u);  // (66,90,138)
  EXPECT_EQ(skin_colour::message_background, 0xFDF0E2u);
}

// --- button rules ----------------------------------------------------------

struct area_box {
  int left, top, right, bottom;
};

// A button that is hit inside its own box.
struct fake_button {
  area_box box;
  int state = 0;
  bool hit_test(int x, int y, const area_box&) const { return rect_contains(box, x, y); }
};

using fake_buttons = std::vector<std::unique_ptr<fake_button>>;

fake_buttons two_buttons() {
  fake_buttons buttons;
  buttons.push_back(std::make_unique<fake_button>(fake_button{{0, 0, 10, 10}}));
  buttons.push_back(std::make_unique<fake_button>(fake_button{{20, 0, 30, 10}}));
  return buttons;
}

const area_box area{0, 0, 100, 100};

TEST(button_rules, hover_lights_the_button_under_the_point_and_starts_tracking_once) {
  auto buttons = two_buttons();
  auto effect = apply_hover_rule(buttons, 5, 5, area, false);
  EXPECT_EQ(buttons[0]->state, button_state::hover);
  EXPECT_TRUE(effect.redraw);
  EXPECT_TRUE(effect.start_leave_tracking);
  EXPECT_FALSE(effect.consumed);
  // Already hover: passed over, nothing changes.
  effect = apply_hover_rule(buttons, 6, 6, area, true);
  EXPECT_FALSE(effect.redraw);
  EXPECT_EQ(buttons[0]->state, button_state::hover);
}

TEST(button_rules, hover_elsewhere_turns_one_button_normal_per_move) {
  auto buttons = two_buttons();
  buttons[0]->state = button_state::hover;
  // Over the second button: the walk meets the first (away, not normal)
  // first, turns it normal and stops.
  auto effect = apply_hover_rule(buttons, 25, 5, area, true);
  EXPECT_EQ(buttons[0]->state, button_state::normal);
  EXPECT_EQ(buttons[1]->state, button_state::normal);
  EXPECT_TRUE(effect.redraw);
  effect = apply_hover_rule(buttons, 25, 5, area, true);
  EXPECT_EQ(buttons[1]->state, button_state::hover);
  EXPECT_FALSE(effect.start_leave_tracking);  // already tracking
}

TEST(button_rules, a_pressed_button_under_the_point_stays_pressed_on_moves) {
  auto buttons = two_buttons();
  buttons[0]->state = button_state::pressed;
  const auto effect = apply_hover_rule(buttons, 5, 5, area, true);
  EXPECT_FALSE(effect.redraw);
  EXPECT_EQ(buttons[0]->state, button_state::pressed);
}

TEST(button_rules, press_is_consumed_only_over_a_button) {
  auto buttons = two_buttons();
  auto effect = apply_press_rule(buttons, 50, 5, area);
  EXPECT_FALSE(effect.consumed);
  EXPECT_FALSE(effect.redraw);
  effect = apply_press_rule(buttons, 22, 5, area);
  EXPECT_TRUE(effect.consumed);
  EXPECT_EQ(buttons[1]->state, button_state::pressed);
  // A second press on the pressed button finds nothing to press.
  effect = apply_press_rule(buttons, 22, 5, area);
  EXPECT_FALSE(effect.consumed);
}

TEST(button_rules, click_fires_a_pressed_or_normal_button_but_not_a_hovered_one) {
  auto buttons = two_buttons();
  buttons[0]->state = button_state::pressed;
  auto effect = apply_click_rule(buttons, 5, 5, area);
  EXPECT_EQ(effect.fire, 0);
  EXPECT_TRUE(effect.consumed);
  EXPECT_EQ(buttons[0]->state, button_state::hover);
  // Released again over the same, now hovered, button: no second action.
  effect = apply_click_rule(buttons, 5, 5, area);
  EXPECT_EQ(effect.fire, -1);
  EXPECT_FALSE(effect.consumed);
  // Released over no button.
  effect = apply_click_rule(buttons, 50, 50, area);
  EXPECT_EQ(effect.fire, -1);
}

TEST(button_rules, leaving_turns_the_first_lit_button_normal) {
  auto buttons = two_buttons();
  buttons[1]->state = button_state::hover;
  auto effect = apply_leave_rule(buttons);
  EXPECT_TRUE(effect.redraw);
  EXPECT_TRUE(effect.consumed);
  EXPECT_EQ(buttons[1]->state, button_state::normal);
  effect = apply_leave_rule(buttons);
  EXPECT_FALSE(effect.redraw);
}

TEST(button_rules, double_clicks_are_kept_from_the_system_only_over_buttons) {
  auto buttons = two_buttons();
  EXPECT_TRUE(any_button_under(buttons, 25, 5, area));
  EXPECT_FALSE(any_button_under(buttons, 15, 5, area));
}

// --- button places -----------------------------------------------------------

TEST(button_geometry, caption_buttons_are_measured_from_the_right_edge) {
  const area_box window{0, 0, 300, 200};
  const area_box close{3, 3, 34, 24};  // (0,0,31,21) moved by a 3-pixel frame
  // Hit when (width - x, y) lies in the rectangle.
  EXPECT_TRUE(right_anchored_hit(close, 300 - 3, 3, window));
  EXPECT_TRUE(right_anchored_hit(close, 300 - 33, 23, window));
  EXPECT_FALSE(right_anchored_hit(close, 300 - 34, 10, window));
  EXPECT_FALSE(right_anchored_hit(close, 300 - 2, 10, window));
  EXPECT_FALSE(right_anchored_hit(close, 280, 24, window));
  EXPECT_EQ(right_anchored_image_origin(close, window), (skin_point{266, 3}));
  EXPECT_EQ(right_anchored_box(close, window), (skin_box{266, 3, 297, 24}));
}

TEST(button_geometry, the_start_button_is_centred_over_the_page_less_the_side_bar) {
  const area_box page{0, 0, 800, 500};
  EXPECT_EQ(home_button_box(200, 80, page), (skin_box{175, 175, 375, 255}));
  // An image that did not load has no area.
  const skin_box none = home_button_box(0, 0, page);
  EXPECT_FALSE(rect_contains(none, none.left, none.top));
}

// --- message box -----------------------------------------------------------------

TEST(message_box_layout, icons_and_buttons_by_kind) {
  EXPECT_EQ(layout_for_message(message_kind::note).icon, 353);
  EXPECT_EQ(layout_for_message(message_kind::warning).icon, 352);
  EXPECT_EQ(layout_for_message(message_kind::failure).icon, 351);
  EXPECT_EQ(layout_for_message(message_kind::question).icon, 354);
  EXPECT_EQ(layout_for_message(message_kind::retry).icon, 351);
  for (message_kind kind : {message_kind::note, message_kind::warning, message_kind::failure}) {
    const auto layout = layout_for_message(kind);
    ASSERT_EQ(layout.button_count, 1);
    EXPECT_EQ(layout.buttons[0].item, 1);
    EXPECT_STREQ(layout.buttons[0].text_key, "btn_ok");
    EXPECT_EQ(layout.buttons[0].x, 115);
  }
  const auto question = layout_for_message(message_kind::question);
  ASSERT_EQ(question.button_count, 2);
  EXPECT_EQ(question.buttons[0].item, 2);
  EXPECT_STREQ(question.buttons[0].text_key, "btn_no");
  EXPECT_EQ(question.buttons[0].x, 50);
  EXPECT_EQ(question.buttons[1].item, 1);
  EXPECT_STREQ(question.buttons[1].text_key, "btn_yes");
  EXPECT_EQ(question.buttons[1].x, 180);
  const auto retry = layout_for_message(message_kind::retry);
  EXPECT_STREQ(retry.buttons[0].text_key, "btn_cancel");
  EXPECT_STREQ(retry.buttons[1].text_key, "btn_retry");
  EXPECT_EQ(message_box_button_y, 136);
}

TEST(message_box_layout, unknown_kinds_show_no_icon_and_only_ok) {
  for (int kind : {static_cast<int>(message_kind::cautious_question) + 1, 9, -1}) {
    const auto layout = layout_for_message(static_cast<message_kind>(kind));
    EXPECT_EQ(layout.icon, 0);
    ASSERT_EQ(layout.button_count, 1);
    EXPECT_STREQ(layout.buttons[0].text_key, "btn_ok");
    EXPECT_EQ(layout.buttons[0].x, 115);
  }
}

TEST(message_box_layout, the_first_item_answers_by_kind) {
  EXPECT_EQ(answer_for_item(message_kind::note, 1), message_answer::ok);
  EXPECT_EQ(answer_for_item(message_kind::warning, 1), message_answer::ok);
  EXPECT_EQ(answer_for_item(message_kind::failure, 1), message_answer::ok);
  EXPECT_EQ(answer_for_item(message_kind::question, 1), message_answer::yes);
  EXPECT_EQ(answer_for_item(message_kind::retry, 1), message_answer::retry);
  EXPECT_EQ(answer_for_item(static_cast<message_kind>(7), 1), message_answer::ok);
}

TEST(message_box_layout, the_second_item_is_no_for_a_question_and_cancel_elsewhere) {
  EXPECT_EQ(answer_for_item(message_kind::question, 2), message_answer::no);
  EXPECT_EQ(answer_for_item(message_kind::retry, 2), message_answer::cancel);
  // Escape in a box with one button.
  EXPECT_EQ(answer_for_item(message_kind::note, 2), message_answer::cancel);
  EXPECT_EQ(answer_for_item(message_kind::failure, 2), message_answer::cancel);
}

TEST(message_box_layout, the_close_button_and_a_box_never_shown) {
  for (message_kind kind : {message_kind::note, message_kind::question, message_kind::retry}) {
    EXPECT_EQ(answer_for_item(kind, 0), message_answer::closed);
    EXPECT_EQ(answer_for_item(kind, -1), message_answer::not_shown);
    EXPECT_EQ(answer_for_item(kind, 3), message_answer::not_shown);
  }
}

// --- panel list scrolling ------------------------------------------------------------

TEST(panel_scroll, a_focused_panel_scrolls_into_view_by_the_least_move) {
  panel_scroll s{1000, 500, 200, 300};
  EXPECT_EQ(s.position_showing(250, 100), 200);  // shows already
  EXPECT_EQ(s.position_showing(100, 100), 100);  // above: its top at the top
  EXPECT_EQ(s.position_showing(450, 100), 250);  // below: its bottom at the bottom
  EXPECT_EQ(s.position_showing(600, 400), 600);  // taller than the list: its top
}

TEST(panel_scroll, panels_stack_and_the_widest_is_kept) {
  panel_scroll s;
  EXPECT_EQ(s.add_panel(300, 80), 0);
  EXPECT_EQ(s.add_panel(420, 60), 80);
  EXPECT_EQ(s.add_panel(100, 50), 140);
  EXPECT_EQ(s.content_height, 190);
  EXPECT_EQ(s.widest_panel, 420);
}

TEST(panel_scroll, the_position_is_clamped_to_content_less_visible_plus_one) {
  panel_scroll s{500, 0, 1000, 200};
  s.clamp();
  EXPECT_EQ(s.position, 301);
  s.position = -40;
  s.clamp();
  EXPECT_EQ(s.position, 0);
}

TEST(panel_scroll, scroll_bar_requests) {
  panel_scroll s{500, 0, 100, 200};
  EXPECT_EQ(s.position_for(scroll_code::line_up, 0), 90);
  EXPECT_EQ(s.position_for(scroll_code::line_down, 0), 110);
  EXPECT_EQ(s.position_for(scroll_code::page_up, 0), -100);
  EXPECT_EQ(s.position_for(scroll_code::page_down, 0), 300);
  EXPECT_EQ(s.position_for(scroll_code::thumb_track, 77), 77);
  EXPECT_EQ(s.position_for(scroll_code::thumb_position, 78), 78);
  EXPECT_EQ(s.position_for(8 /* end scroll */, 5), 100);
  EXPECT_EQ(s.position_for(7 /* bottom */, 5), 100);
}

TEST(panel_scroll, a_wheel_notch_is_fifteen_pixels) {
  panel_scroll s{500, 0, 100, 200};
  EXPECT_TRUE(s.wheel(120));  // away from the user: content moves down
  EXPECT_EQ(s.position, 85);
  EXPECT_TRUE(s.wheel(-240));
  EXPECT_EQ(s.position, 115);
  s.position = 0;
  EXPECT_TRUE(s.wheel(120));
  EXPECT_EQ(s.position, 0);  // stays at the top
  s.position = 300;
  s.wheel(-120);
  EXPECT_EQ(s.position, 301);  // and at the clamp at the bottom
}

TEST(panel_scroll, the_wheel_does_nothing_when_everything_fits) {
  panel_scroll s{150, 0, 0, 200};
  EXPECT_FALSE(s.wheel(-120));
  EXPECT_EQ(s.position, 0);
}

// A list of `count` panels of `height`, each standing at its content y (a
// list at the top, `width` wide).
std::vector<panel_slot> stacked(int count, int height, int width) {
  std::vector<panel_slot> slots;
  for (int i = 0; i < count; ++i) slots.push_back({i * height, height, i * height, width});
  return slots;
}

// Every panel that shows in 0 ... visible stands at y − position, `width` wide.
::testing::AssertionResult showing_in_place(const std::vector<panel_slot>& slots, int position,
                                            int visible, int width) {
  for (size_t i = 0; i < slots.size(); ++i) {
    const panel_slot& s = slots[i];
    const bool shows = s.top < visible && s.top + s.height > 0;
    if (shows && (s.top != s.y - position || s.width != width)) {
      return ::testing::AssertionFailure() << "panel " << i << " shows at " << s.top << ", "
                                           << s.width << " wide; wanted " << s.y - position;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(panel_scroll, a_wheel_notch_moves_only_the_panels_in_sight) {
  auto slots = stacked(1000, 60, 400);
  // 500 pixels show panels 0 to 8; 15 pixels down they are 0 to 8 still.
  const auto moves = panels_to_move(slots, 15, 500, 400);
  EXPECT_EQ(moves, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(slots[0].top, -15);
  EXPECT_EQ(slots[9].top, 540);  // out of sight: left where it was
  EXPECT_TRUE(showing_in_place(slots, 15, 500, 400));
  // Nothing changed: nothing moves.
  EXPECT_TRUE(panels_to_move(slots, 15, 500, 400).empty());
}

TEST(panel_scroll, a_jump_moves_the_panels_leaving_and_those_coming_into_sight) {
  auto slots = stacked(1000, 60, 400);
  const auto moves = panels_to_move(slots, 30000, 500, 400);
  // Panels 0 to 8 leave the view, 500 to 508 come into it.
  ASSERT_EQ(moves.size(), 18u);
  EXPECT_EQ(moves[8], 8u);
  EXPECT_EQ(moves[9], 500u);
  EXPECT_EQ(slots[0].top, -30000);
  EXPECT_EQ(slots[500].top, 0);
  EXPECT_TRUE(showing_in_place(slots, 30000, 500, 400));
}

TEST(panel_scroll, any_run_of_scrolls_and_resizes_leaves_every_panel_in_sight_in_place) {
  // Panels of uneven heights; a fixed sequence of positions, heights and
  // widths such as wheel, pages, thumb and resizes produce.
  std::vector<panel_slot> slots;
  panel_scroll s;
  for (int i = 0; i < 300; ++i) {
    const int y = s.add_panel(400, 40 + (i * 37) % 70);
    slots.push_back({y, 40 + (i * 37) % 70, y, 400});
  }
  unsigned seed = 12345;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(range));
  };
  int width = 400;
  size_t most_moves = 0;
  for (int step = 0; step < 2000; ++step) {
    switch (next(4)) {
      case 0: s.wheel(next(2) ? 120 : -120); break;
      case 1: s.position = s.position_for(next(4), 0); break;
      case 2: s.position = next(s.content_height); break;
      default:
        s.visible_height = 100 + next(600);
        width = 200 + next(600);
        break;
    }
    s.clamp();
    const auto moves = panels_to_move(slots, s.position, s.visible_height, width);
    most_moves = std::max(most_moves, moves.size());
    ASSERT_TRUE(showing_in_place(slots, s.position, s.visible_height, width)) << "step " << step;
  }
  // At most the panels of two views move at once, never the whole list.
  EXPECT_LE(most_moves, 2u * (700 / 40 + 2));
}

// --- centring on an owner ------------------------------------------------------------

TEST(window_placement, centred_on_the_owner_when_it_fits) {
  const screen_box work{0, 0, 1280, 770};
  const screen_box p = centred_within(300, 200, {200, 150, 800, 550}, work);
  EXPECT_EQ(p.left, 350);
  EXPECT_EQ(p.top, 250);
  EXPECT_EQ(p.right, 650);
  EXPECT_EQ(p.bottom, 450);
}

TEST(window_placement, kept_inside_the_work_area_on_every_side) {
  const screen_box work{0, 30, 1280, 800};  // a bar along the top
  // An owner far off the screen (where a minimised window stands).
  screen_box p = centred_within(300, 200, {-32000, -32000, -31840, -31973}, work);
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 30);
  // Hanging over the right and bottom edges.
  p = centred_within(300, 200, {1100, 700, 1300, 820}, work);
  EXPECT_EQ(p.right, 1280);
  EXPECT_EQ(p.bottom, 800);
  // On a second monitor to the left, whose coordinates are negative.
  p = centred_within(300, 200, {-1900, 100, -1700, 200}, {-1920, 0, 0, 1040});
  EXPECT_EQ(p.left, -1920);
  EXPECT_EQ(p.top, 50);
}

TEST(window_placement, a_window_larger_than_the_work_area_keeps_its_caption_in_sight) {
  const screen_box p = centred_within(1000, 900, {0, 0, 600, 400}, {0, 20, 800, 600});
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 20);
}

}  // namespace
}  // namespace quillary
