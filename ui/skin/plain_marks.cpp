#include "ui/skin/plain_marks.h"

namespace quillary {

std::vector<mark_stroke> mark_strokes(status_mark mark) {
  switch (mark) {
    case status_mark::out_of_date:
      // A warning triangle with an exclamation mark inside.
      return {{{8, 1}, {15, 14}, {1, 14}, {8, 1}}, {{8, 5}, {8, 9}}, {{8, 11}, {8, 12}}};
    case status_mark::no_driver:
      // A cross.
      return {{{3, 3}, {13, 13}}, {{13, 3}, {3, 13}}};
    case status_mark::up_to_date:
    default:
      // A check.
      return {{{2, 8}, {6, 12}, {14, 3}}};
  }
}

chart_hatch chart_hatch_for(size_t index) {
  return static_cast<chart_hatch>(index % hatch_count);
}

}  // namespace quillary
