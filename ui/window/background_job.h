// How the program runs work in the background: the work runs on a thread
// of its own, and its outcome goes back to the window that started it, on
// that window's thread, as one message (see post_to_window); nothing polls
// for it, and timers only draw progress.
//
// The window may go, or the program end, before the work does. The work
// then ends with its outcome unread: it must own (or share) everything it
// uses, never point into the window. The program counts the work still
// running, so that at its end it knows whether the objects that work uses
// may go.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace quillary {

// The work of every job of the program still running.
class background_work_c {
 public:
  bool any_running() const { return running_->load() > 0; }

 private:
  template <class Outcome>
  friend class background_job_c;
  // Shared with the threads, which may outlive the program's objects.
  std::shared_ptr<std::atomic<int>> running_ = std::make_shared<std::atomic<int>>(0);
};

template <class Outcome>
class background_job_c {
 public:
  // Called on the work's thread once its outcome is stored, with the run's
  // number: it asks for the outcome to be taken on the window's thread.
  using deliver_fn = std::function<void(uint64_t run)>;

  explicit background_job_c(background_work_c& work) : work_(work) {}
  background_job_c(const background_job_c&) = delete;
  background_job_c& operator=(const background_job_c&) = delete;

  // Starts `task` on a new thread; false when a run has not been taken yet
  // or no thread can be made (nothing runs then).
  bool start(std::function<Outcome()> task, deliver_fn deliver) {
    if (shared_) return false;
    auto shared = std::make_shared<shared_state>();
    const uint64_t run = run_ + 1;
    const auto counter = work_.running_;
    ++*counter;
    try {
      std::thread([shared, run, counter, task = std::move(task), deliver = std::move(deliver)] {
        Outcome outcome = task();
        {
          const std::lock_guard<std::mutex> hold(shared->lock);
          shared->outcome.emplace(std::move(outcome));
        }
        // Uncounted before it is delivered: the window that takes it may
        // end the program at once.
        --*counter;
        deliver(run);
      }).detach();
    } catch (const std::system_error&) {
      --*counter;
      return false;
    }
    run_ = run;
    shared_ = std::move(shared);
    return true;
  }

  // Whether a run was started and its outcome not yet taken.
  bool running() const { return shared_ != nullptr; }

  // In the window's handler of the delivery: the outcome of run `run`,
  // once; nothing for a run that is not this job's current one (a message
  // that arrives late) or has no outcome yet.
  std::optional<Outcome> take(uint64_t run) {
    if (!shared_ || run != run_) return std::nullopt;
    std::optional<Outcome> outcome;
    {
      const std::lock_guard<std::mutex> hold(shared_->lock);
      if (!shared_->outcome) return std::nullopt;
      outcome = std::move(shared_->outcome);
    }
    shared_.reset();
    return outcome;
  }

 private:
  struct shared_state {
    std::mutex lock;
    std::optional<Outcome> outcome;
  };
  background_work_c& work_;
  std::shared_ptr<shared_state> shared_;
  uint64_t run_ = 0;
};

}  // namespace quillary
