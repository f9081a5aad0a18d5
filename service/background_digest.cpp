#include "service/background_digest.h"

#include <cstring>
#include <system_error>

namespace quillary {

background_digest_c::background_digest_c(package_digest_c& digest) : digest_(digest) {
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // Hashed on the caller's thread instead.
  }
}

background_digest_c::~background_digest_c() { finish(); }

void background_digest_c::add(const void* data, size_t size) {
  if (!thread_.joinable()) {
    digest_.update(data, size);
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queued_bytes_ == 0 || queued_bytes_ + size <= max_queued; });
  std::vector<char> buffer;
  if (!spare_.empty()) {
    buffer = std::move(spare_.back());
    spare_.pop_back();
  }
  buffer.resize(size);
  std::memcpy(buffer.data(), data, size);
  queued_.push_back(std::move(buffer));
  queued_bytes_ += size;
  changed_.notify_all();
}

void background_digest_c::finish() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void background_digest_c::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queued_.empty() || finishing_; });
    if (queued_.empty()) return;
    std::vector<char> buffer = std::move(queued_.front());
    queued_.pop_front();
    lock.unlock();
    digest_.update(buffer.data(), buffer.size());
    lock.lock();
    queued_bytes_ -= buffer.size();
    spare_.push_back(std::move(buffer));
    changed_.notify_all();
  }
}

}  // namespace quillary
