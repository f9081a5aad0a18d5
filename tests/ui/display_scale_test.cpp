// Logical pixels and the display's: the scale every window applies, and the
// choice among the skin's pictures.
#include <gtest/gtest.h>

#include "ui/window/display_scale.h"

namespace quillary {
namespace {

struct box {
  int left, top, right, bottom;
};

TEST(display_scale, scales_sizes_both_ways_at_the_common_scales) {
  const display_scale at_150 = display_scale::of(144);
  EXPECT_EQ(at_150.device(10), 15);
  EXPECT_EQ(at_150.device(11), 17);  // 16.5 rounds away from zero, as MulDiv
  EXPECT_EQ(at_150.logical(15), 10);
  EXPECT_EQ(display_scale::of(120).device(30), 38);  // 37.5
  EXPECT_EQ(display_scale::of(192).device(-7), -14);
  // Every logical size comes back from its device size at every scale the
  // system offers, so a window laid out, measured and laid out again does
  // not creep.
  for (int dpi : {96, 120, 144, 168, 192, 240, 288}) {
    const display_scale scale = display_scale::of(dpi);
    for (int logical = -50; logical <= 1200; ++logical) {
      ASSERT_EQ(scale.logical(scale.device(logical)), logical) << dpi << " dpi, " << logical;
    }
  }
}

TEST(display_scale, rectangles_that_touch_keep_touching) {
  // Scaling by edges: two boxes side by side at 96 DPI share their edge at
  // 125 %, where scaling each box's width would open a gap.
  const display_scale scale = display_scale::of(120);
  const box left = scale.device_rect(box{0, 0, 13, 10});
  const box right = scale.device_rect(box{13, 0, 26, 10});
  EXPECT_EQ(left.right, right.left);
  EXPECT_EQ(right.right, scale.device(26));
  const box back = scale.logical_rect(scale.device_rect(box{3, 5, 250, 77}));
  EXPECT_EQ(back.left, 3);
  EXPECT_EQ(back.bottom, 77);
}

TEST(display_scale, a_dpi_the_system_cannot_mean_is_taken_as_96) {
  for (int dpi : {0, -96, 1, 47, 961, 1 << 30}) {
    EXPECT_TRUE(display_scale::of(dpi).unscaled()) << dpi;
    EXPECT_EQ(display_scale::of(dpi).device(100), 100) << dpi;
  }
  EXPECT_EQ(display_scale::of(48).device(100), 50);
  EXPECT_EQ(display_scale::of(960).device(1), 10);
}

TEST(display_scale, the_nearest_pictures_are_chosen_the_larger_on_a_tie) {
  const auto chosen = [](int percent) { return picture_scales[nearest_picture_scale(percent)]; };
  EXPECT_EQ(chosen(100), 100);
  EXPECT_EQ(chosen(50), 100);
  EXPECT_EQ(chosen(112), 100);
  EXPECT_EQ(chosen(113), 125);  // as near to 100 as to 125: the larger
  EXPECT_EQ(chosen(125), 125);
  EXPECT_EQ(chosen(138), 150);
  EXPECT_EQ(chosen(150), 150);
  EXPECT_EQ(chosen(175), 200);  // between 150 and 200
  EXPECT_EQ(chosen(174), 150);
  EXPECT_EQ(chosen(300), 200);  // beyond the largest: the largest, enlarged
}

}  // namespace
}  // namespace quillary
