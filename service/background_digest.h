// Hashes the bytes a download writes on a thread of its own. The write path
// only copies each chunk into a queue and goes on, so that hashing runs
// beside the transfer instead of after each chunk of it: on a fast
// connection the two one after the other would take half as long again as
// the transfer alone.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "base/package_digest.h"

namespace quillary {

class background_digest_c {
 public:
  // Bytes waiting to be hashed at most; the write path waits beyond.
  static constexpr size_t max_queued = 8u << 20;

  explicit background_digest_c(package_digest_c& digest);
  // Finishes first.
  ~background_digest_c();
  background_digest_c(const background_digest_c&) = delete;
  background_digest_c& operator=(const background_digest_c&) = delete;

  void add(const void* data, size_t size);
  // Returns once every byte given is in the digest.
  void finish();

 private:
  void run();

  package_digest_c& digest_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<char>> queued_;
  std::vector<std::vector<char>> spare_;  // buffers hashed already, for reuse
  size_t queued_bytes_ = 0;
  bool finishing_ = false;
  std::thread thread_;  // not joinable when none could be made: bytes are then hashed at once
};

}  // namespace quillary
