#include "ui/pages/worker_task.h"

#include <system_error>
#include <thread>

namespace quillary {

void worker_task::run(block* shared) {
  const int32_t result = shared->callback();
  std::unique_lock<std::mutex> lock(shared->mutex);
  shared->result = result;
  if (shared->waiting) {
    // The page still owns the block and reads the result.
    shared->waiting = false;
    shared->finished.notify_all();
    return;
  }
  // The page has gone: nobody else will free it.
  lock.unlock();
  delete shared;
}

bool worker_task::start(std::function<int32_t()> callback) {
  if (block_) return false;
  auto* shared = new block;
  shared->callback = std::move(callback);
  try {
    std::thread(run, shared).detach();
  } catch (const std::system_error&) {
    delete shared;
    return false;
  }
  block_ = shared;
  return true;
}

bool worker_task::ended() const {
  if (!block_) return false;
  std::lock_guard<std::mutex> lock(block_->mutex);
  return !block_->waiting;
}

void worker_task::wait() const {
  if (!block_) return;
  std::unique_lock<std::mutex> lock(block_->mutex);
  block_->finished.wait(lock, [this] { return !block_->waiting; });
}

bool worker_task::collect(int32_t& result) {
  if (!ended()) return false;
  result = block_->result;
  delete block_;
  block_ = nullptr;
  return true;
}

void worker_task::abandon() {
  if (!block_) return;
  block* shared = block_;
  block_ = nullptr;
  std::unique_lock<std::mutex> lock(shared->mutex);
  if (shared->waiting) {
    // Still running: the thread frees the block when it ends.
    shared->waiting = false;
    return;
  }
  lock.unlock();
  delete shared;
}

}  // namespace quillary
