#include "ui/window/message_loop_win32.h"

#include <algorithm>

namespace quillary {
namespace {

thread_local message_loop_c* thread_loop = nullptr;

template <typename T>
void erase_value(std::vector<T*>& items, T* item) {
  items.erase(std::remove(items.begin(), items.end(), item), items.end());
}

// Messages that arrive in streams while nothing happens; they do not make
// the thread busy, so they do not re-arm the idle handlers.
bool is_idle_message(const MSG& message) {
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118:  // the system's caret-blink timer
      return false;
    default:
      return true;
  }
}

}  // namespace

void message_loop_c::add_filter(message_filter_i* filter) { filters_.push_back(filter); }
void message_loop_c::remove_filter(message_filter_i* filter) { erase_value(filters_, filter); }
void message_loop_c::add_idle_handler(idle_handler_i* handler) { idle_handlers_.push_back(handler); }
void message_loop_c::remove_idle_handler(idle_handler_i* handler) {
  erase_value(idle_handlers_, handler);
}

bool message_loop_c::filter(MSG& message) {
  // Newest first, like nested windows that register after their parents.
  for (auto it = filters_.rbegin(); it != filters_.rend(); ++it) {
    if ((*it)->pre_translate_message(message)) return true;
  }
  return false;
}

int message_loop_c::run() {
  MSG message{};
  bool idle_pending = true;
  for (;;) {
    if (idle_pending && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      // Copy: a handler may remove itself.
      const auto handlers = idle_handlers_;
      for (auto* handler : handlers) handler->on_idle();
      idle_pending = false;
    }
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) break;
    if (!filter(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (is_idle_message(message)) idle_pending = true;
  }
  return static_cast<int>(message.wParam);
}

message_loop_c* current_message_loop() { return thread_loop; }
void register_message_loop(message_loop_c* loop) { thread_loop = loop; }
void unregister_message_loop() { thread_loop = nullptr; }

}  // namespace quillary
