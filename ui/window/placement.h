// Where a window goes when it is centred on another: the arithmetic apart
// from the windows, so that it is tested without them.
#pragma once

namespace quillary {

// A rectangle in screen coordinates, as RECT holds one.
struct screen_box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// A window of `width` × `height` centred on `owner`, then moved the least
// that keeps it inside `work_area`; one larger than the work area keeps its
// top-left corner inside, so that its caption can still be reached.
screen_box centred_within(int width, int height, const screen_box& owner,
                          const screen_box& work_area);

}  // namespace quillary
