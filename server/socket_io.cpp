#include "server/socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace quillary::server {

bool send_all(int fd, std::string_view data, const std::atomic<bool>& stopping) {
  auto last_progress = std::chrono::steady_clock::now();
  while (!data.empty()) {
    if (stopping.load()) return false;
    const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      // A socket in non-blocking mode: wait until the peer reads on, as a
      // blocking socket's send time-out would.
      if (std::chrono::steady_clock::now() - last_progress > send_timeout) return false;
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 200);
      continue;
    }
    data.remove_prefix(static_cast<size_t>(sent));
    last_progress = std::chrono::steady_clock::now();
  }
  return true;
}

void wait_for_peer_close(int fd, const std::atomic<bool>& stopping) {
  char buffer[4096];
  while (!stopping.load()) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 200);
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    if (p.revents & (POLLERR | POLLNVAL)) return;
    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return;
  }
}

bool sleep_unless_stopping(std::chrono::milliseconds duration, const std::atomic<bool>& stopping) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (!stopping.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(50)));
  }
  return false;
}

}  // namespace quillary::server
