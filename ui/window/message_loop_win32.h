// The message loop of the window thread. Windows of the thread may add
// message filters (which see every message before it is dispatched and may
// take it) and idle handlers (which run when the queue has run empty).
#pragma once

#include <windows.h>

#include <vector>

namespace quillary {

class message_filter_i {
 public:
  virtual ~message_filter_i() = default;
  // True when the message was handled and must not be dispatched.
  virtual bool pre_translate_message(MSG& message) = 0;
};

class idle_handler_i {
 public:
  virtual ~idle_handler_i() = default;
  virtual void on_idle() = 0;
};

class message_loop_c {
 public:
  void add_filter(message_filter_i* filter);
  void remove_filter(message_filter_i* filter);
  void add_idle_handler(idle_handler_i* handler);
  void remove_idle_handler(idle_handler_i* handler);

  // Runs until WM_QUIT and returns its wParam.
  int run();

 private:
  bool filter(MSG& message);
  std::vector<message_filter_i*> filters_;
  std::vector<idle_handler_i*> idle_handlers_;
};

// The loop registered for the calling thread, or null.
message_loop_c* current_message_loop();
void register_message_loop(message_loop_c* loop);
void unregister_message_loop();

}  // namespace quillary
