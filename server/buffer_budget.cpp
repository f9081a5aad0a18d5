#include "server/buffer_budget.h"

namespace quillary::server {

bool buffer_budget_c::take(size_t bytes) {
  size_t used = in_use_.load();
  do {
    if (bytes > limit_ - used) return false;
  } while (!in_use_.compare_exchange_weak(used, used + bytes));
  return true;
}

void buffer_budget_c::give_back(size_t bytes) { in_use_.fetch_sub(bytes); }

bool budget_share_c::cover(size_t held) {
  const size_t wanted = held > unbudgeted_bytes_per_connection ? held - unbudgeted_bytes_per_connection : 0;
  if (wanted > size_ && !budget_.take(wanted - size_)) return false;
  if (wanted < size_) budget_.give_back(size_ - wanted);
  size_ = wanted;
  return true;
}

}  // namespace quillary::server
