#include "ui/window/placement.h"

namespace quillary {
namespace {

// `start` moved the least that keeps `start` ... `start + size` within
// `low` ... `high`; `low` wins when the size does not fit.
int kept_within(int start, int size, int low, int high) {
  if (start + size > high) start = high - size;
  if (start < low) start = low;
  return start;
}

}  // namespace

screen_box centred_within(int width, int height, const screen_box& owner,
                          const screen_box& work_area) {
  int x = owner.left + ((owner.right - owner.left) - width) / 2;
  int y = owner.top + ((owner.bottom - owner.top) - height) / 2;
  x = kept_within(x, width, work_area.left, work_area.right);
  y = kept_within(y, height, work_area.top, work_area.bottom);
  return {x, y, x + width, y + height};
}

}  // namespace quillary
