#include "server/package_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "server/byte_range.h"
#include "server/http_answer.h"
#include "server/http_response.h"
#include "server/socket_io.h"

namespace quillary::server {

namespace {

constexpr size_t chunk_size = 65536;

struct file_closer {
  int fd;
  ~file_closer() {
    if (fd >= 0) close(fd);
  }
};

// Paces a download at a fixed number of bytes per second.
class pacer_c {
 public:
  explicit pacer_c(uint64_t bytes_per_second) : rate_(bytes_per_second), start_(std::chrono::steady_clock::now()) {}
  // Chunks small enough that the pace looks even from the client's side.
  size_t chunk() const { return static_cast<size_t>(std::clamp<uint64_t>(rate_ / 10, 1, chunk_size)); }
  // Waits until `sent` bytes are due; false when the service stops.
  bool wait(uint64_t sent, const std::atomic<bool>& stopping) const {
    const auto due = start_ + std::chrono::milliseconds(sent * 1000 / rate_);
    const auto now = std::chrono::steady_clock::now();
    if (due <= now) return true;
    return sleep_unless_stopping(std::chrono::duration_cast<std::chrono::milliseconds>(due - now), stopping);
  }

 private:
  uint64_t rate_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

download_result send_package(int fd, const http_request& request, const catalogue_package& package,
                             const service_context_c& context, bool keep_alive) {
  const std::atomic<bool>& stopping = context.stopping();
  const fault_mode& fault = context.fault();
  const bool head_only = request.method == "HEAD";

  const file_closer file{open(package.file_path.c_str(), O_RDONLY | O_CLOEXEC)};
  struct stat info{};
  if (file.fd < 0 || fstat(file.fd, &info) != 0) {
    const http_answer answer = text_answer(404, "the package file is gone");
    return {answer.status, 0, send_answer(fd, answer, head_only, stopping, {}, keep_alive)};
  }
  const auto size = static_cast<uint64_t>(info.st_size);

  byte_range range;
  const std::string* range_header = request.header("Range");
  // An If-Range validator cannot be checked (no entity tags), so a range
  // that depends on one is not served: the whole file goes out instead.
  if (range_header != nullptr && request.header("If-Range") == nullptr && fault.kind != fault_kind::ignore_range) {
    range = parse_byte_range(*range_header, size);
  }
  if (range.kind == range_kind::unsatisfiable) {
    const http_answer answer = text_answer(416, "the range lies beyond the end of the file");
    return {416, 0,
            send_answer(fd, answer, head_only, stopping, {{"Content-Range", "bytes */" + std::to_string(size)}},
                        keep_alive)};
  }

  header_list headers = {{"Content-Type", "application/zip"}, {"Accept-Ranges", "bytes"}};
  uint64_t first = 0;
  uint64_t length = size;
  int status = 200;
  if (range.kind == range_kind::partial) {
    status = 206;
    first = range.first;
    length = range.last - range.first + 1;
    headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                              std::to_string(range.last) + "/" + std::to_string(size));
  }
  const uint64_t extra = fault.kind == fault_kind::extra ? fault.value : 0;
  if (!send_all(fd, response_head(status, headers, length + extra, keep_alive), stopping)) return {status, 0};
  if (head_only) return {status, 0, true};

  // How much of the body goes out before the fault takes over.
  uint64_t limit = length + extra;
  if (fault.kind == fault_kind::stall || fault.kind == fault_kind::truncate) limit = std::min(limit, fault.value);
  const pacer_c pacer(fault.kind == fault_kind::rate ? fault.value : 1);
  const size_t chunk = fault.kind == fault_kind::rate ? pacer.chunk() : chunk_size;

  if (lseek(file.fd, static_cast<off_t>(first), SEEK_SET) < 0) return {status, 0};
  std::string buffer;
  uint64_t sent = 0;
  while (sent < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk, limit - sent));
    buffer.resize(want);
    size_t got = 0;
    if (sent < length) {
      // File bytes first, then the filler of the extra fault.
      const size_t from_file = static_cast<size_t>(std::min<uint64_t>(want, length - sent));
      const ssize_t n = read(file.fd, buffer.data(), from_file);
      if (n <= 0) return {status, sent};  // the file shrank under us
      got = static_cast<size_t>(n);
    } else {
      std::fill(buffer.begin(), buffer.end(), '\0');
      got = want;
    }
    if (fault.kind == fault_kind::rate && !pacer.wait(sent + got, stopping)) return {status, sent};
    if (!send_all(fd, std::string_view(buffer.data(), got), stopping)) return {status, sent};
    sent += got;
  }
  if (fault.kind == fault_kind::stall) wait_for_peer_close(fd, stopping);
  return {status, sent, sent == length};
}

}  // namespace quillary::server
