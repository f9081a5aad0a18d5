// The test build's answer to the GUI test driver about the program's open
// menus. Wine lets no other process read a menu's items, so a hidden window
// of the program's own thread answers for it: sent a WM_COPYDATA with an
// item's text (UTF-16), it finds that item in the open pop-up menus and
// replies with where it is on the screen and its state.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillary::gui {

inline constexpr wchar_t menu_reader_class[] = L"QuillaryTestMenus";

// The reply: 0 when no open menu has the item; else the item's middle on the
// screen and its MF_GRAYED / MF_DISABLED / MF_CHECKED bits.
struct menu_item_place {
  bool found = false;
  int x = 0, y = 0;
  unsigned state = 0;
};
inline LRESULT pack(const menu_item_place& place) {
  if (!place.found) return 0;
  return static_cast<LRESULT>(uint64_t{static_cast<uint16_t>(place.x)} |
                              uint64_t{static_cast<uint16_t>(place.y)} << 16 |
                              uint64_t{place.state & 0xffffu} << 32 | uint64_t{1} << 48);
}
inline menu_item_place unpack(LRESULT reply) {
  const auto bits = static_cast<uint64_t>(reply);
  menu_item_place place;
  place.found = (bits >> 48) & 1;
  place.x = static_cast<int16_t>(bits & 0xffff);
  place.y = static_cast<int16_t>((bits >> 16) & 0xffff);
  place.state = static_cast<unsigned>((bits >> 32) & 0xffff);
  return place;
}

// Creates the answering window on the calling thread, the one whose menus
// it reads (the program's window thread).
void start_menu_reader(HINSTANCE instance);

}  // namespace quillary::gui
