// The bytes that connections buffer while they wait: request heads and
// bodies arriving, answers waiting for their client to read them. Each
// connection may hold a few KiB without asking; what it holds beyond comes
// out of one budget that all connections share, so that the service's
// memory has a bound however many connections wait at once and however
// slowly their clients send or read.
#pragma once

#include <atomic>
#include <cstddef>

namespace quillary::server {

// What a connection may hold without drawing on the budget: most request
// heads, and the bodies and many of the answers of ordinary queries, fit in
// it, so that a full budget refuses the large ones first.
constexpr size_t unbudgeted_bytes_per_connection = 4096;

class buffer_budget_c {
 public:
  explicit buffer_budget_c(size_t limit) : limit_(limit) {}
  buffer_budget_c(const buffer_budget_c&) = delete;
  buffer_budget_c& operator=(const buffer_budget_c&) = delete;

  size_t limit() const { return limit_; }
  size_t in_use() const { return in_use_.load(); }
  // Takes `bytes`; false, and nothing taken, when they would pass the limit.
  bool take(size_t bytes);
  void give_back(size_t bytes);

 private:
  const size_t limit_;
  std::atomic<size_t> in_use_{0};
};

// One connection's part of the budget, given back when the share ends.
class budget_share_c {
 public:
  explicit budget_share_c(buffer_budget_c& budget) : budget_(budget) {}
  ~budget_share_c() { budget_.give_back(size_); }
  budget_share_c(const budget_share_c&) = delete;
  budget_share_c& operator=(const budget_share_c&) = delete;

  // Makes the share what the connection holds (`held` bytes) beyond the
  // unbudgeted part; false, and the share as it was, when the budget
  // cannot give that much. Shrinking always succeeds.
  bool cover(size_t held);
  size_t size() const { return size_; }

 private:
  buffer_budget_c& budget_;
  size_t size_ = 0;
};

}  // namespace quillary::server
