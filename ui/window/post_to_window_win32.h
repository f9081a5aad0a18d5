// The delivery of a background job's outcome to a window: the run's number
// posted as `message`'s WPARAM. A window that is gone by then gets nothing.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillary {

inline auto post_to_window(HWND window, UINT message) {
  return [window, message](uint64_t run) { PostMessageW(window, message, static_cast<WPARAM>(run), 0); };
}

}  // namespace quillary
