#include "server/outgoing_answer.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace quillary::server {

owned_file_c& owned_file_c::operator=(owned_file_c&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

int owned_file_c::release() { return std::exchange(fd_, -1); }

void owned_file_c::reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

outgoing_answer_c::outgoing_answer_c(std::string bytes, size_t head_size, after_answer after)
    : bytes_(std::move(bytes)), head_size_(std::min(head_size, bytes_.size())), after_(after) {}

outgoing_answer_c::outgoing_answer_c(std::string head, owned_file_c file, uint64_t offset, uint64_t length,
                                     after_answer after)
    : bytes_(std::move(head)),
      head_size_(bytes_.size()),
      file_(std::move(file)),
      file_offset_(offset),
      file_length_(length),
      after_(after) {}

void outgoing_answer_c::end_body_after(uint64_t bytes, after_answer after) {
  body_limit_ = bytes;
  after_ = after;
}

void outgoing_answer_c::set_log(std::string prefix, std::string note) {
  log_prefix_ = std::move(prefix);
  log_note_ = std::move(note);
}

std::string outgoing_answer_c::log_line() const {
  if (log_prefix_.empty()) return {};
  return log_prefix_ + " " + std::to_string(body_bytes_sent()) + log_note_;
}

uint64_t outgoing_answer_c::stream_end() const {
  const uint64_t body = bytes_.size() - head_size_ + file_length_ + filler_;
  return head_size_ + std::min(body, body_limit_);
}

ssize_t outgoing_answer_c::put_next(byte_sink_c& sink, size_t count) {
  if (sent_ < bytes_.size()) return sink.put(std::string_view(bytes_).substr(sent_, count));
  const uint64_t into_file = sent_ - bytes_.size();
  if (into_file < file_length_) {
    return sink.put_file(file_.get(), file_offset_ + into_file, static_cast<size_t>(std::min<uint64_t>(count, file_length_ - into_file)));
  }
  static const char zeros[65536] = {};
  return sink.put(std::string_view(zeros, std::min(count, sizeof zeros)));
}

outgoing_answer_c::progress outgoing_answer_c::pump(byte_sink_c& sink, clock::time_point now) {
  if (!started_) {
    started_ = true;
    start_ = last_progress_ = now;
  }
  const uint64_t end = stream_end();
  size_t share = max_bytes_per_pump;
  while (sent_ < end) {
    uint64_t allowed = end;
    if (bytes_per_second_ != 0) {
      // The head goes at once; the body as its bytes fall due.
      const double due = std::chrono::duration<double>(now - start_).count() * static_cast<double>(bytes_per_second_);
      allowed = std::min<uint64_t>(end, head_size_ + static_cast<uint64_t>(std::min(due, 1e18)));
      if (sent_ >= allowed) return progress::resting;
    }
    if (share == 0) return progress::blocked;
    const ssize_t taken = put_next(sink, static_cast<size_t>(std::min<uint64_t>(allowed - sent_, share)));
    if (taken < 0) return progress::failed;
    if (taken == 0) return progress::blocked;
    sent_ += static_cast<uint64_t>(taken);
    share -= static_cast<size_t>(taken);
    last_progress_ = now;
  }
  return progress::finished;
}

}  // namespace quillary::server
