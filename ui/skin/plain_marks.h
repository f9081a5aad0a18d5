// What stands for the skin's coloured pictures in high contrast, where
// colour alone must not tell things apart: the download rows' status marks
// as shapes (a warning triangle, a cross, a check) and the chart's slices
// (and their swatches in the legend) as hatch patterns.
#pragma once

#include <cstddef>
#include <vector>

namespace quillary {

// A row's status: its package is needed (the driver is out of date), a
// device has no driver at all, or nothing is needed (up to date).
enum class status_mark { out_of_date, no_driver, up_to_date };

struct mark_point {
  int x;
  int y;
};
// A mark is a few strokes (open polylines) in a box of mark_size squared.
using mark_stroke = std::vector<mark_point>;
constexpr int mark_size = 16;
std::vector<mark_stroke> mark_strokes(status_mark mark);

// The hatch of the chart's slice `index` (in the order the slices were
// added) and of its swatch; distinct for the first hatch_count slices.
enum class chart_hatch { diagonal_cross, horizontal, forward_diagonal, vertical, cross, backward_diagonal };
constexpr size_t hatch_count = 6;
chart_hatch chart_hatch_for(size_t index);

}  // namespace quillary
