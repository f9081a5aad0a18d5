// The settings and about dialogs without windows: the boxes' states, what
// OK makes of them, where long languages move things, and the about texts.
#include <gtest/gtest.h>

#include "ui/dialogs/about_text.h"
#include "ui/dialogs/settings_rules.h"

namespace quillary {
namespace {

TEST(settings_rules, box_states_and_the_three_state_close_to_tray_box) {
  for (uint32_t value : {0u, 1u, 2u}) {
    uint32_t setting = value;
    EXPECT_EQ(box_state_for(setting), value);
    EXPECT_EQ(setting, value);
  }
  uint32_t wrong = 7;
  EXPECT_EQ(box_state_for(wrong), 0u);
  EXPECT_EQ(wrong, 0u);  // reset in the setting too

  EXPECT_EQ(close_to_tray_from_box(0), 0u);  // unchecked
  EXPECT_EQ(close_to_tray_from_box(2), 2u);  // the third state, untouched: the notice stays given
  EXPECT_EQ(close_to_tray_from_box(1), 1u);  // checked: the notice is shown once more
}

TEST(settings_rules, long_languages_move_the_divider_and_keep_box_sizes) {
  EXPECT_EQ(divider_x("fr"), 320);
  EXPECT_EQ(divider_x("es"), 320);
  EXPECT_EQ(divider_x("pt"), 320);
  EXPECT_EQ(divider_x("en"), 300);
  EXPECT_EQ(divider_x("de"), 300);
  EXPECT_TRUE(has_long_texts("pt"));
  EXPECT_FALSE(has_long_texts("jp"));
}

TEST(settings_rules, bounds_and_language_change) {
  EXPECT_EQ(bounded(std::u16string(300, u'a'), max_path_characters).size(), 259u);
  EXPECT_EQ(bounded(u"short", max_path_characters), u"short");
  EXPECT_EQ(bounded(std::u16string(40, u'x'), max_language_characters).size(), 31u);
  EXPECT_TRUE(language_changed(3, 0));
  EXPECT_FALSE(language_changed(2, 2));
  EXPECT_FALSE(language_changed(-1, 2));  // nothing selected
}

TEST(about_text, paragraph_with_build_date_and_the_updater_path) {
  EXPECT_EQ(about_paragraph(u"%sQuillary\nBuild: %s %s", u"Apr 18 2013", u"11:55:01"),
            u"Quillary\nBuild: Apr 18 2013 11:55:01");
  EXPECT_EQ(about_paragraph(std::u16string(2000, u'x'), u"", u"").size(), 1023u);
  // A translation with a stray placeholder keeps it as text.
  EXPECT_EQ(about_paragraph(u"%s%s %s %s %d", u"D", u"T"), u"D T %s %d");
  EXPECT_EQ(build_date().size(), 11u);
  EXPECT_EQ(build_time().size(), 8u);
  EXPECT_EQ(build_time()[2], u':');
  EXPECT_EQ(updater_path(u"C:\\Program Files\\Quillary\\"), u"C:\\Program Files\\Quillary\\update\\update.exe");
  EXPECT_EQ(updater_path(u"C:\\Quillary"), u"C:\\Quillary\\update\\update.exe");
}

}  // namespace
}  // namespace quillary
