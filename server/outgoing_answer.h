// An answer ready to go out on a connection: its head, then its body from a
// buffer or from a range of an open file, shaped by the download faults.
// The answering thread prepares it and the hub's one thread writes it as
// the client takes it, so that no thread waits on a slow reader: such a
// reader holds its descriptor and this, nothing more. The sink is the seam
// that keeps this logic apart from sockets.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillary::server {

// Where an answer's bytes go; each call takes what it can at once.
class byte_sink_c {
 public:
  virtual ~byte_sink_c() = default;
  // How many of the bytes were taken: 0 when none can be taken now, -1
  // when the connection failed.
  virtual ssize_t put(std::string_view bytes) = 0;
  // The same for `count` bytes of the open file from `offset`; -1 also when
  // the file ends sooner (it shrank after the answer was prepared).
  virtual ssize_t put_file(int file, uint64_t offset, size_t count) = 0;
};

// An open file descriptor that closes itself; moves hand it on.
class owned_file_c {
 public:
  owned_file_c() = default;
  explicit owned_file_c(int fd) : fd_(fd) {}
  ~owned_file_c() { reset(); }
  owned_file_c(owned_file_c&& other) noexcept : fd_(other.release()) {}
  owned_file_c& operator=(owned_file_c&& other) noexcept;
  owned_file_c(const owned_file_c&) = delete;
  owned_file_c& operator=(const owned_file_c&) = delete;

  int get() const { return fd_; }

 private:
  int release();
  void reset();

  int fd_ = -1;
};

// What becomes of the connection once its answer is out.
enum class after_answer {
  next_request,  // it waits for the client's next request
  close,         // it closes
  hold_open,     // it stays open and silent until the client closes (the stall fault)
};

class outgoing_answer_c {
 public:
  using clock = std::chrono::steady_clock;

  enum class progress {
    finished,  // all of it is out
    blocked,   // the sink takes no more now (or this call sent its share): call again once it can
    resting,   // the pace allows nothing more yet: call again a little later
    failed,    // the connection failed, or the file ended too soon
  };

  // Bytes one call to pump sends at most, so that a fast client does not
  // keep the hub from the others.
  static constexpr size_t max_bytes_per_pump = 1u << 20;

  outgoing_answer_c() = default;
  // The head and the body in one buffer, of which the first `head_size`
  // bytes are the head.
  outgoing_answer_c(std::string bytes, size_t head_size, after_answer after);
  // The head, then `length` bytes of `file` from `offset`; the answer owns
  // the file and closes it.
  outgoing_answer_c(std::string head, owned_file_c file, uint64_t offset, uint64_t length, after_answer after);

  // The download faults: zero bytes after the body (extra), an end after
  // so many body bytes (stall, truncate), a pace (rate).
  void add_zero_filler(uint64_t bytes) { filler_ += bytes; }
  void end_body_after(uint64_t bytes, after_answer after);
  void pace(uint64_t bytes_per_second) { bytes_per_second_ = bytes_per_second; }

  // Sends what the sink takes now; `now` paces the body and dates progress.
  progress pump(byte_sink_c& sink, clock::time_point now);

  after_answer after() const { return after_; }
  uint64_t body_bytes_sent() const { return sent_ > head_size_ ? sent_ - head_size_ : 0; }
  // When the sink last took a byte (or the first pump, before any).
  clock::time_point last_progress() const { return last_progress_; }
  // The heap bytes this answer holds; a file's bytes are not among them.
  size_t held() const { return bytes_.capacity() + log_prefix_.capacity() + log_note_.capacity(); }

  // The log line written once the answer has ended: the prefix, the body
  // bytes actually sent, the note. Without a prefix, no line.
  void set_log(std::string prefix, std::string note = {});
  std::string log_line() const;

 private:
  uint64_t stream_end() const;
  ssize_t put_next(byte_sink_c& sink, size_t count);

  std::string bytes_;  // the head, and the body when it is buffered
  size_t head_size_ = 0;
  owned_file_c file_;
  uint64_t file_offset_ = 0;
  uint64_t file_length_ = 0;
  uint64_t filler_ = 0;
  uint64_t body_limit_ = UINT64_MAX;
  uint64_t bytes_per_second_ = 0;  // 0: as fast as the client takes it
  after_answer after_ = after_answer::close;
  uint64_t sent_ = 0;  // of head and body together
  bool started_ = false;
  clock::time_point start_{};
  clock::time_point last_progress_{};
  std::string log_prefix_;
  std::string log_note_;
};

}  // namespace quillary::server
