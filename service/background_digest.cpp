#include "service/background_digest.h"

#include <algorithm>
#include <system_error>

#include "platform/files.h"

namespace quillary {

background_digest_c::background_digest_c(package_digest_c& digest, const std::u16string& file)
    : digest_(digest), reported_(digest.length()), hashed_(digest.length()) {
  file_ = platform::open_file(file, "rb");
  if (file_ && !platform::seek_file(file_, hashed_)) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!file_) return;  // hashed as written, then
  // Read straight into the buffer: no read-ahead past what was reported.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  buffer_.resize(batch);
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

background_digest_c::~background_digest_c() { finish(); }

void background_digest_c::written(uint64_t length, const void* data, size_t size) {
  if (!thread_.joinable()) {
    digest_.update(data, size);
    return;
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  reported_ = length;
  if (waiting_ && reported_ - hashed_ >= batch) changed_.notify_one();
}

void background_digest_c::finish() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
  }
  changed_.notify_one();
  thread_.join();
  std::fclose(file_);
  file_ = nullptr;
  if (failed_) digest_.reset();
}

void background_digest_c::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    waiting_ = true;
    changed_.wait(lock, [this] { return reported_ - hashed_ >= batch || finishing_; });
    waiting_ = false;
    // Once finishing, nothing more is reported: what is left is the rest.
    const bool last = finishing_;
    const uint64_t until = reported_;
    uint64_t at = hashed_;
    lock.unlock();
    bool whole = true;
    while (at < until && whole) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(until - at, buffer_.size()));
      const size_t got = std::fread(buffer_.data(), 1, want, file_);
      digest_.update(buffer_.data(), got);
      at += got;
      whole = got == want;
    }
    lock.lock();
    hashed_ = at;
    if (!whole) failed_ = true;
    if (!whole || last) return;
  }
}

}  // namespace quillary
