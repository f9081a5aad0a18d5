// A piece of background work a page starts and polls from its timer. The
// page may go away (or the program end) before the work does: the two then
// agree, under the block's mutex, who frees what. The waiting flag is set
// while both sides still care; whichever side finds it set clears it and
// walks away, and the side that finds it already clear frees the block,
// with the work and everything the work owns.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace quillary {

class worker_task {
 public:
  worker_task() = default;
  // A task still running is left to free itself when it ends.
  ~worker_task() { abandon(); }
  worker_task(const worker_task&) = delete;
  worker_task& operator=(const worker_task&) = delete;

  // Starts `callback` on a new thread. False (nothing started) while an
  // earlier run has not been collected, or when no thread can be made. The
  // callback owns what it captures: it must not point into the page.
  bool start(std::function<int32_t()> callback);
  // Whether a run was started and not yet collected.
  bool started() const { return block_ != nullptr; }
  // Whether the run has ended (false when none was started).
  bool ended() const;
  // Waits until the run has ended.
  void wait() const;
  // The ended run's result, after which the task may start again; false
  // when no run has ended.
  bool collect(int32_t& result);

 private:
  struct block {
    std::function<int32_t()> callback;
    int32_t result = 0;
    bool waiting = true;
    std::mutex mutex;
    std::condition_variable finished;
  };
  static void run(block* shared);
  void abandon();

  block* block_ = nullptr;
};

}  // namespace quillary
