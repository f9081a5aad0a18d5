// How downloads and installations start their threads: a record of the
// function, its argument and its result, run on a thread of its own.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

namespace quillary {

struct thread_call {
  int result = 0;
  void* argument = nullptr;
  int (*function)(void*) = nullptr;
  // Set by the thread as its last step, so the window thread can test for
  // the end without waiting.
  std::atomic<bool> ended{false};
};

// Starts the call on a new thread. Null when no thread can be made.
// `owner` (the object holding `call`) is kept alive by the thread until it
// ends, so a thread that outlives its owner's last other holder, at exit
// for instance, never writes into freed memory.
inline std::unique_ptr<std::thread> start_thread_call(thread_call& call, std::shared_ptr<void> owner = nullptr) {
  call.ended = false;
  try {
    return std::make_unique<std::thread>([&call, owner = std::move(owner)] {
      call.result = call.function(call.argument);
      call.ended = true;
    });
  } catch (const std::system_error&) {
    return nullptr;
  }
}

}  // namespace quillary
