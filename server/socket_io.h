// The hub's side of a connection's socket, which is non-blocking: an answer
// goes out through it as far as the client takes it, never waiting.
#pragma once

#include "server/outgoing_answer.h"

namespace quillary::server {

class socket_sink_c final : public byte_sink_c {
 public:
  explicit socket_sink_c(int fd) : fd_(fd) {}
  ssize_t put(std::string_view bytes) override;
  // With sendfile: the file's bytes go from the page cache to the socket
  // without a buffer of the service's own. A file not in the page cache is
  // read from the disk meanwhile, as nginx does by default: the thread
  // waits on the disk, never on the client.
  ssize_t put_file(int file, uint64_t offset, size_t count) override;

 private:
  int fd_;
};

// Ends a connection with a reset rather than a FIN, so that what the
// client never read does not stay queued in the kernel after the close.
void reset_connection(int fd);

}  // namespace quillary::server
