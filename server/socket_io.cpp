#include "server/socket_io.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace quillary::server {

namespace {

// What a call that sent `result` bytes (or -1 with errno) tells its caller.
ssize_t taken(ssize_t result) {
  if (result >= 0) return result;
  return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

}  // namespace

ssize_t socket_sink_c::put(std::string_view bytes) {
  ssize_t sent;
  do {
    sent = send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return taken(sent);
}

ssize_t socket_sink_c::put_file(int file, uint64_t offset, size_t count) {
  auto from = static_cast<off_t>(offset);
  ssize_t sent;
  do {
    sent = sendfile(fd_, file, &from, count);
  } while (sent < 0 && errno == EINTR);
  // Nothing to send from a file that still should have bytes: it shrank.
  if (sent == 0 && count > 0) return -1;
  return taken(sent);
}

void reset_connection(int fd) {
  const linger abort_on_close{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
  close(fd);
}

}  // namespace quillary::server
