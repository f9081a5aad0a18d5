// The palette's roles and their stand-ins in high contrast: every role has
// a system colour, texts stay readable on their grounds, a system table
// gives the expected colours, and the marks that replace coloured pictures
// differ by shape.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ui/pages/download_panel_text.h"
#include "ui/skin/palette.h"
#include "ui/skin/plain_marks.h"
#include "ui/skin/skin_colours.h"

namespace quillary {
namespace {

// A white-on-black scheme, every index its own colour so that a wrong
// mapping shows.
class fake_system_colours_c : public system_colours_i {
 public:
  uint32_t colour(system_colour index) const override {
    const auto found = table.find(index);
    return found == table.end() ? 0xDEADBEu : found->second;
  }
  std::map<system_colour, uint32_t> table = {
      {system_colour::window, skin_rgb(0, 0, 0)},           {system_colour::window_text, skin_rgb(255, 255, 255)},
      {system_colour::highlight, skin_rgb(0, 0, 128)},      {system_colour::highlight_text, skin_rgb(255, 255, 0)},
      {system_colour::button_face, skin_rgb(16, 16, 16)},   {system_colour::button_text, skin_rgb(250, 250, 250)},
      {system_colour::gray_text, skin_rgb(0, 255, 0)},      {system_colour::hot_light, skin_rgb(128, 128, 255)},
      {system_colour::active_caption, skin_rgb(128, 0, 128)}, {system_colour::caption_text, skin_rgb(254, 254, 254)},
      {system_colour::window_frame, skin_rgb(200, 200, 200)},
  };
};

colour_role role_at(size_t i) { return static_cast<colour_role>(i); }

TEST(palette, every_role_has_a_known_system_colour) {
  const fake_system_colours_c system;
  for (size_t i = 0; i < colour_role_count; ++i) {
    const colour_role_entry& entry = colour_role_info(role_at(i));
    EXPECT_EQ(system.table.count(entry.system), 1u) << "role " << i;
  }
}

TEST(palette, the_skin_values_are_those_of_skin_colours) {
  const palette_c palette;
  EXPECT_FALSE(palette.plain());
  EXPECT_EQ(palette.colour_of(colour_role::caption_band), skin_colour::caption_band);
  EXPECT_EQ(palette.colour_of(colour_role::page_ground), skin_colour::page_ground);
  EXPECT_EQ(palette.colour_of(colour_role::panel_error_text), skin_colour::panel_error_text);
  EXPECT_EQ(palette.colour_of(colour_role::settings_heading), skin_colour::settings_heading);
  EXPECT_EQ(palette.colour_of(colour_role::chart_up_to_date), skin_colour::chart_up_to_date);
}

TEST(palette, text_and_ground_roles_never_share_a_system_colour) {
  std::set<system_colour> grounds, texts;
  for (size_t i = 0; i < colour_role_count; ++i) {
    const colour_role_entry& entry = colour_role_info(role_at(i));
    if (entry.kind == role_kind::ground) grounds.insert(entry.system);
    if (entry.kind == role_kind::text) texts.insert(entry.system);
  }
  ASSERT_FALSE(grounds.empty());
  ASSERT_FALSE(texts.empty());
  for (system_colour text : texts) EXPECT_EQ(grounds.count(text), 0u) << static_cast<int>(text);
}

TEST(palette, each_text_uses_the_system_colour_paired_with_its_ground) {
  for (size_t i = 0; i < colour_role_count; ++i) {
    const colour_role_entry& entry = colour_role_info(role_at(i));
    if (entry.kind != role_kind::text) {
      EXPECT_EQ(entry.ground, role_at(i)) << "role " << i;
      continue;
    }
    const colour_role_entry& ground = colour_role_info(entry.ground);
    EXPECT_EQ(ground.kind, role_kind::ground) << "role " << i;
    EXPECT_TRUE(system_pair_reads(ground.system, entry.system)) << "role " << i;
  }
}

TEST(palette, system_pairs_are_those_of_the_system_schemes) {
  EXPECT_TRUE(system_pair_reads(system_colour::window, system_colour::window_text));
  EXPECT_TRUE(system_pair_reads(system_colour::button_face, system_colour::button_text));
  EXPECT_TRUE(system_pair_reads(system_colour::highlight, system_colour::highlight_text));
  EXPECT_FALSE(system_pair_reads(system_colour::window, system_colour::button_face));
  EXPECT_FALSE(system_pair_reads(system_colour::highlight, system_colour::window_text));
  EXPECT_FALSE(system_pair_reads(system_colour::window_text, system_colour::window));
}

TEST(palette, high_contrast_takes_the_system_table) {
  const fake_system_colours_c system;
  palette_c palette;
  palette.use(true, system);
  EXPECT_TRUE(palette.plain());
  EXPECT_EQ(palette.colour_of(colour_role::page_ground), skin_rgb(0, 0, 0));
  EXPECT_EQ(palette.colour_of(colour_role::plain_text), skin_rgb(255, 255, 255));
  EXPECT_EQ(palette.colour_of(colour_role::heading), skin_rgb(255, 255, 255));
  EXPECT_EQ(palette.colour_of(colour_role::panel_error_text), skin_rgb(255, 255, 255));
  EXPECT_EQ(palette.colour_of(colour_role::download_header_band), skin_rgb(0, 0, 128));
  EXPECT_EQ(palette.colour_of(colour_role::download_header_text), skin_rgb(255, 255, 0));
  EXPECT_EQ(palette.colour_of(colour_role::caption_band), skin_rgb(128, 0, 128));
  EXPECT_EQ(palette.colour_of(colour_role::caption_title), skin_rgb(254, 254, 254));
  EXPECT_EQ(palette.colour_of(colour_role::button_ground), skin_rgb(16, 16, 16));
  EXPECT_EQ(palette.colour_of(colour_role::button_text), skin_rgb(250, 250, 250));
  for (size_t i = 0; i < colour_role_count; ++i) EXPECT_NE(palette.colour_of(role_at(i)), 0xDEADBEu) << i;

  // And back to the skin when the user turns it off.
  palette.use(false, system);
  EXPECT_FALSE(palette.plain());
  EXPECT_EQ(palette.colour_of(colour_role::page_ground), skin_colour::page_ground);
}

TEST(plain_marks, the_three_status_marks_differ_and_fit_their_box) {
  const status_mark marks[] = {status_mark::out_of_date, status_mark::no_driver, status_mark::up_to_date};
  std::set<std::vector<std::pair<int, int>>> shapes;
  for (status_mark mark : marks) {
    std::vector<std::pair<int, int>> points;
    const auto strokes = mark_strokes(mark);
    ASSERT_FALSE(strokes.empty());
    for (const mark_stroke& stroke : strokes) {
      EXPECT_GE(stroke.size(), 2u);
      for (const mark_point& p : stroke) {
        EXPECT_GE(p.x, 0);
        EXPECT_LT(p.x, mark_size);
        EXPECT_GE(p.y, 0);
        EXPECT_LT(p.y, mark_size);
        points.emplace_back(p.x, p.y);
      }
    }
    shapes.insert(points);
  }
  EXPECT_EQ(shapes.size(), 3u);
}

TEST(plain_marks, each_panel_status_has_its_own_mark) {
  EXPECT_EQ(status_mark_of(panel_status_image::needed), status_mark::out_of_date);
  EXPECT_EQ(status_mark_of(panel_status_image::no_driver), status_mark::no_driver);
  EXPECT_EQ(status_mark_of(panel_status_image::not_needed), status_mark::up_to_date);
}

TEST(plain_marks, the_chart_slices_have_distinct_hatches) {
  std::set<chart_hatch> hatches;
  for (size_t i = 0; i < hatch_count; ++i) hatches.insert(chart_hatch_for(i));
  EXPECT_EQ(hatches.size(), hatch_count);
}

}  // namespace
}  // namespace quillary
