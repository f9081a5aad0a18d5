#include "ui/skin/panel_scroll.h"

namespace quillary {

int panel_scroll::add_panel(int width, int height) {
  const int y = content_height;
  content_height += height;
  if (width > widest_panel) widest_panel = width;
  return y;
}

void panel_scroll::clamp() {
  const int last = content_height - visible_height + 1;
  if (position > last) position = last;
  if (position < 0) position = 0;
}

int panel_scroll::position_showing(int y, int height) const {
  if (y < position || height > visible_height) return y;
  if (y + height > position + visible_height) return y + height - visible_height;
  return position;
}

int panel_scroll::position_for(int code, int track) const {
  switch (code) {
    case scroll_code::line_up: return position - 10;
    case scroll_code::line_down: return position + 10;
    case scroll_code::page_up: return position - visible_height;
    case scroll_code::page_down: return position + visible_height;
    case scroll_code::thumb_position:
    case scroll_code::thumb_track: return track;
    default: return position;
  }
}

bool panel_scroll::wheel(int delta) {
  if (!overflows()) return false;
  // A notch of 120 towards the user scrolls 15 pixels down the content.
  position += delta / -8;
  clamp();
  return true;
}

namespace {

bool shows(int top, int height, int visible_height) {
  return top < visible_height && top + height > 0;
}

}  // namespace

std::vector<size_t> panels_to_move(std::vector<panel_slot>& slots, int position,
                                   int visible_height, int width) {
  std::vector<size_t> moves;
  for (size_t i = 0; i < slots.size(); ++i) {
    panel_slot& slot = slots[i];
    const int wanted = slot.y - position;
    if (slot.top == wanted && slot.width == width) continue;
    if (!shows(wanted, slot.height, visible_height) && !shows(slot.top, slot.height, visible_height))
      continue;
    slot.top = wanted;
    slot.width = width;
    moves.push_back(i);
  }
  return moves;
}

}  // namespace quillary
