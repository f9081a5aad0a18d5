#include "ui/window/accessible_model.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/language.h"

namespace quillary {
namespace {

accessible_item part(int id, accessible_rect rect, uint32_t state = accessible_state::none) {
  accessible_item item;
  item.id = id;
  item.rect = rect;
  item.state = state;
  return item;
}

accessible_view three_parts() {
  accessible_view view;
  view.parts = {part(10, {0, 0, 10, 10}), part(20, {10, 0, 20, 10}, accessible_state::focused),
                part(30, {5, 5, 15, 15})};
  return view;
}

TEST(accessible_model, child_ids_count_the_parts_from_one) {
  const accessible_view view = three_parts();
  EXPECT_EQ(child_id_of(0), 1);
  EXPECT_EQ(part_of_child(view, 1), 0u);
  EXPECT_EQ(part_of_child(view, 3), 2u);
  EXPECT_FALSE(part_of_child(view, accessible_self));
  EXPECT_FALSE(part_of_child(view, 4));
  EXPECT_FALSE(part_of_child(view, -1));
}

TEST(accessible_model, the_hit_is_the_topmost_part_under_the_point) {
  const accessible_view view = three_parts();
  EXPECT_EQ(accessible_hit(view.parts, 2, 2), 1);
  EXPECT_EQ(accessible_hit(view.parts, 12, 2), 2);
  // The third overlaps the first two and was drawn last.
  EXPECT_EQ(accessible_hit(view.parts, 7, 7), 3);
  EXPECT_EQ(accessible_hit(view.parts, 14, 14), 3);
  // Right and bottom edges lie outside, as for the system's rectangles.
  EXPECT_EQ(accessible_hit(view.parts, 15, 15), accessible_self);
  EXPECT_EQ(accessible_hit(view.parts, 20, 0), accessible_self);
}

TEST(accessible_model, an_invisible_part_is_never_hit) {
  std::vector<accessible_item> parts = {part(1, {0, 0, 10, 10}), part(2, {0, 0, 10, 10}, accessible_state::invisible)};
  EXPECT_EQ(accessible_hit(parts, 3, 3), 1);
}

TEST(accessible_model, the_focus_is_the_first_focused_part) {
  accessible_view view = three_parts();
  EXPECT_EQ(focused_child(view), 2);
  view.parts[1].state = accessible_state::none;
  EXPECT_EQ(focused_child(view), accessible_self);
}

TEST(accessible_model, navigation_walks_the_parts_in_their_order) {
  const accessible_view view = three_parts();
  EXPECT_EQ(accessible_navigate(view, accessible_self, accessible_direction::first), 1);
  EXPECT_EQ(accessible_navigate(view, accessible_self, accessible_direction::last), 3);
  EXPECT_EQ(accessible_navigate(view, 1, accessible_direction::next), 2);
  EXPECT_EQ(accessible_navigate(view, 3, accessible_direction::next), accessible_self);
  EXPECT_EQ(accessible_navigate(view, 2, accessible_direction::previous), 1);
  EXPECT_EQ(accessible_navigate(view, 1, accessible_direction::previous), accessible_self);
  // Only the element itself has first and last children.
  EXPECT_EQ(accessible_navigate(view, 2, accessible_direction::first), accessible_self);
  EXPECT_EQ(accessible_navigate(view, 9, accessible_direction::previous), accessible_self);
  EXPECT_EQ(accessible_navigate(accessible_view{}, accessible_self, accessible_direction::first), accessible_self);
}

TEST(accessible_model, the_score_summary_joins_its_clauses_in_the_language_s_punctuation) {
  const std::vector<std::u16string> legend = {u"Out of date: 1", u"No driver: 1", u"Up to date: 4"};
  EXPECT_EQ(score_summary(u"Driver score", 44, legend, "en"),
            u"Driver score 44; Out of date: 1, No driver: 1, Up to date: 4");
  EXPECT_EQ(score_summary(u"驱动程序评分", 44, {u"过期：1", u"无驱动程序：1"}, "cn"), u"驱动程序评分 44；过期：1，无驱动程序：1");
  EXPECT_EQ(score_summary(u"スコア", 7, {u"a", u"b"}, "jp"), u"スコア 7；a、b");
  EXPECT_EQ(score_summary(u"نقاط", 0, {u"a", u"b"}, "ar"), u"نقاط 0؛ a، b");
  EXPECT_EQ(score_summary(u"Score", 100, {}, "de"), u"Score 100");
}

// The names the windows give their parts are language texts: every key
// they use is in every language of the shipped file, and none is empty.
TEST(accessible_model, the_names_of_the_parts_are_texts_of_every_language) {
  const char* const keys[] = {"caption_close", "caption_maximise", "caption_restore", "caption_minimise",
                              "caption_menu",  "access_press",     "access_open",     "access_check",
                              "access_uncheck", "access_select",   "access_packages"};
  const char16_t* const languages[] = {u"English", u"Deutsch", u"Español", u"Français", u"Italiano", u"日本語",
                                       u"简体中文", u"繁體中文", u"Nederlands", u"Português", u"العربية"};
  std::ifstream in(QUILLARY_SOURCE_DIR "/resources/language.ini", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());
  language_table_c english;
  english.load_text(bytes, u"English", true);
  for (const char16_t* language : languages) {
    language_table_c table;
    table.load_text(bytes, language, true);
    for (const char* key : keys) {
      EXPECT_TRUE(table.has_key(key)) << key;
      EXPECT_FALSE(table.text_of(key).empty()) << key;
      // Translated, not the English text left in place.
      if (std::u16string(language) != u"English" && std::string(key) != "caption_menu") {
        EXPECT_NE(table.text_of(key), english.text_of(key)) << key;
      }
    }
  }
}

}  // namespace
}  // namespace quillary
