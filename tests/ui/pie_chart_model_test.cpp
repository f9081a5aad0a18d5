// The pie chart's slices, settings, rectangles and drawing order.
#include "ui/skin/pie_chart_model.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillary {
namespace {

constexpr uint32_t red = 0xFFFF0000, yellow = 0xFFFFFF00, green = 0xFF16CD1F;

TEST(pie_chart_model, sweeps_follow_the_values_from_the_start_angle) {
  pie_chart_model chart;
  chart.add_slice(u"a", u"A", 1, red);
  chart.add_slice(u"b", u"B", 1, yellow);
  chart.add_slice(u"c", u"C", 2, green);
  const auto& slices = chart.slices();
  ASSERT_EQ(slices.size(), 3u);
  EXPECT_FLOAT_EQ(slices[0]->sweep, 90);
  EXPECT_FLOAT_EQ(slices[1]->sweep, 90);
  EXPECT_FLOAT_EQ(slices[2]->sweep, 180);
  EXPECT_FLOAT_EQ(slices[2]->fraction, 0.5f);
  EXPECT_DOUBLE_EQ(chart.total(), 4);
  const auto arcs = chart.arcs();
  EXPECT_FLOAT_EQ(arcs[0].start, 0);
  EXPECT_FLOAT_EQ(arcs[1].start, 90);
  EXPECT_FLOAT_EQ(arcs[2].start, 180);
  EXPECT_EQ(slices[0]->order, 0);
  EXPECT_EQ(slices[2]->order, 2);
  EXPECT_EQ(slices[0]->explode, 0);
  EXPECT_EQ(slices[0]->alpha, 255);
}

TEST(pie_chart_model, zero_values_empty_and_taken_names_add_nothing) {
  pie_chart_model chart;
  EXPECT_NE(chart.add_slice(u"out", u"", 3, red), nullptr);
  EXPECT_EQ(chart.add_slice(u"none", u"", 0, yellow), nullptr);
  EXPECT_EQ(chart.add_slice(u"negative", u"", -2, yellow), nullptr);
  EXPECT_EQ(chart.add_slice(u"", u"", 5, yellow), nullptr);
  EXPECT_EQ(chart.add_slice(u"out", u"", 7, yellow), nullptr);
  EXPECT_NE(chart.add_slice(u"up", u"", 1, green), nullptr);
  ASSERT_EQ(chart.slices().size(), 2u);
  // The others fill the whole pie.
  EXPECT_FLOAT_EQ(chart.slices()[0]->sweep + chart.slices()[1]->sweep, 360);
  EXPECT_FLOAT_EQ(chart.slices()[0]->sweep, 270);
  EXPECT_EQ(chart.find_slice(u"up")->order, 1);
  EXPECT_EQ(chart.find_slice(u"Up"), nullptr);  // exact names
}

TEST(pie_chart_model, clearing_resets_total_and_order) {
  pie_chart_model chart;
  chart.add_slice(u"a", u"", 1, red);
  chart.clear();
  EXPECT_TRUE(chart.slices().empty());
  EXPECT_EQ(chart.total(), 0);
  EXPECT_EQ(chart.add_slice(u"a", u"", 1, red)->order, 0);
  EXPECT_FLOAT_EQ(chart.slices()[0]->sweep, 360);
}

TEST(pie_chart_model, tilt_is_kept_within_0_and_89) {
  pie_chart_model chart;
  EXPECT_EQ(chart.tilt(), 0);
  chart.set_tilt(120);
  EXPECT_EQ(chart.tilt(), 89);
  chart.set_tilt(-5);
  EXPECT_EQ(chart.tilt(), 0);
  chart.set_tilt(35);
  EXPECT_EQ(chart.tilt(), 35);
}

TEST(pie_chart_model, thickness_is_relative_to_the_pie_height) {
  pie_chart_model chart;
  EXPECT_FLOAT_EQ(chart.thickness(), 0.5f);
  chart.set_thickness(50, 150);  // 150 × 89 / 180 = 74
  EXPECT_FLOAT_EQ(chart.thickness(), 50.0f / 74);
  chart.set_thickness(-1, 150);
  EXPECT_FLOAT_EQ(chart.thickness(), 50.0f / 74);
  chart.set_thickness(10, 1);  // too flat to divide by: unchanged
  EXPECT_FLOAT_EQ(chart.thickness(), 50.0f / 74);
  // At the greatest tilt the wall is as many pixels as the value given.
  chart.set_thickness(36, 80);  // 80 × 89 / 180 = 39
  chart.set_tilt(89);
  EXPECT_NEAR(chart.wall_height(80), 36 * 80.0f * 89 / 180 / 39, 1e-3);
  chart.set_tilt(0);
  EXPECT_EQ(chart.wall_height(80), 0);
  EXPECT_FLOAT_EQ(chart.squash(), 1);
}

TEST(pie_chart_model, explode_is_a_percentage_of_the_pie_width) {
  pie_slice slice;
  pie_chart_model::set_explode(slice, 5, 105);
  EXPECT_EQ(slice.explode, 5);
  pie_chart_model::set_explode(slice, 10, 228);
  EXPECT_EQ(slice.explode, 22);
}

TEST(pie_chart_model, light_and_dark_colours) {
  // c + 120 × (255 − c) / 255 and c − 10 × c / 255, opaque.
  EXPECT_EQ(lighten_colour(0xFFFF0000, 120), 0xFFFF7878u);
  EXPECT_EQ(darken_colour(0xFFFF0000, 10), 0xFFF50000u);
  EXPECT_EQ(lighten_colour(0x80163C1F, 120), 0xFF839788u);
  EXPECT_EQ(darken_colour(0x00000000, 10), 0xFF000000u);
  pie_chart_model chart;
  const pie_slice* slice = chart.add_slice(u"g", u"", 1, green);
  EXPECT_EQ(slice->light_colour, lighten_colour(green, 120));
  EXPECT_EQ(slice->dark_colour, darken_colour(green, 10));
}

TEST(pie_chart_model, the_pie_rectangle_is_made_from_the_client_area) {
  // Wide enough: a square as tall as the area allows, at least 150.
  EXPECT_EQ(pie_chart_model::computed_pie_rect({0, 0, 600, 500}, 500),
            (pie_box{30, 100, 400, 470}));  // height 370 → width 370
  // Too low: the minimum height of 150.
  EXPECT_EQ(pie_chart_model::computed_pie_rect({0, 0, 228, 109}, 180),
            (pie_box{30, 100, 180, 250}));
  // Narrower than tall: a square of the width (at least 150), centred.
  EXPECT_EQ(pie_chart_model::computed_pie_rect({0, 0, 300, 700}, 200),
            (pie_box{30, 305, 190, 465}));
  // An odd height grows by a pixel each way.
  EXPECT_EQ(pie_chart_model::computed_pie_rect({0, 0, 600, 361}, 400),
            (pie_box{30, 100, 262, 332}));
}

TEST(pie_chart_model, a_fixed_rectangle_wins) {
  pie_chart_model chart;
  chart.set_pie_rect({60, 20, 165, 100});
  EXPECT_EQ(chart.pie_rect({0, 0, 228, 109}), (pie_box{60, 20, 165, 100}));
}

TEST(pie_chart_model, resizing_recomputes_the_list_metrics) {
  pie_chart_model chart;
  chart.resize({0, 0, 228, 109});
  EXPECT_EQ(chart.list_width, 180);
  EXPECT_EQ(chart.row_height, 10);  // 150 / 15
  EXPECT_EQ(chart.spacing, 7);      // 150 / 20
  chart.resize({0, 0, 900, 900});
  EXPECT_EQ(chart.list_width, 600);
  EXPECT_EQ(chart.row_height, 25);
  EXPECT_EQ(chart.spacing, 18);
  chart.set_pie_rect({60, 20, 165, 100});
  chart.resize({0, 0, 228, 109});
  EXPECT_EQ(chart.row_height, 5);
  EXPECT_EQ(chart.spacing, 4);
  for (int i = 0; i < 3; ++i) chart.add_slice(std::u16string(1, u'a' + i), u"", 1, red);
  EXPECT_EQ(chart.list_height(), 3 * 9 - 4);
}

TEST(pie_chart_model, nearest_and_farthest_slices) {
  pie_chart_model chart;
  EXPECT_EQ(chart.nearest_slice(), -1);
  EXPECT_TRUE(chart.drawing_order().empty());
  chart.add_slice(u"a", u"", 1, red);     // 0 to 90
  chart.add_slice(u"b", u"", 1, yellow);  // 90 to 180
  chart.add_slice(u"c", u"", 2, green);   // 180 to 360
  EXPECT_EQ(chart.nearest_slice(), 1);
  EXPECT_EQ(chart.farthest_slice(), 2);
  const std::vector<int> order = chart.drawing_order();
  EXPECT_EQ(order, (std::vector<int>{2, 0, 1}));
}

TEST(pie_chart_model, drawing_goes_from_back_to_front) {
  pie_chart_model chart;
  for (int i = 0; i < 8; ++i) chart.add_slice(std::u16string(1, u'a' + i), u"", 1, red);
  // Eight 45-degree slices: 0–45 … 315–360. Farthest holds 270 (slice 6),
  // nearest holds 90 (slice 2).
  const auto order = chart.drawing_order();
  ASSERT_EQ(order.size(), 8u);
  EXPECT_EQ(order.front(), 6);
  EXPECT_EQ(order.back(), 2);
  // Slices nearer the back (middle angles 202.5 and 337.5) before those at
  // the sides (157.5 and 22.5).
  const auto position = [&](int slice) {
    return std::find(order.begin(), order.end(), slice) - order.begin();
  };
  EXPECT_LT(position(5), position(4));
  EXPECT_LT(position(7), position(0));
  EXPECT_LT(position(0), position(1));
}

TEST(pie_chart_model, one_slice_is_both_nearest_and_farthest) {
  pie_chart_model chart;
  chart.add_slice(u"all", u"", 5, green);
  EXPECT_EQ(chart.drawing_order(), (std::vector<int>{0}));
}

}  // namespace
}  // namespace quillary
