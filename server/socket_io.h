// Blocking socket reads and writes for one connection thread, with the
// time-outs and the stop flag that keep a stuck peer from holding a thread
// for ever.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace quillary::server {

// Receive and send time-outs of a connection's socket.
void set_socket_timeouts(int fd, std::chrono::seconds receive, std::chrono::seconds send);

// Sends everything; false on an error, a send time-out or a stop request.
bool send_all(int fd, std::string_view data, const std::atomic<bool>& stopping);

// Reads what is there (at most `max` bytes) and appends it; the number of
// bytes read, 0 at the end of the stream, -1 on an error or time-out.
long receive_some(int fd, std::string& into, size_t max);

// Waits until the peer closes the connection or `stopping` is set, without
// sending anything; bytes the peer sends meanwhile are dropped.
void wait_for_peer_close(int fd, const std::atomic<bool>& stopping);

// Sleeps for the given time in short slices; false when `stopping` was set.
bool sleep_unless_stopping(std::chrono::milliseconds duration, const std::atomic<bool>& stopping);

// Ends a connection after its response: the write side is shut first and
// what the peer still sends (a request body the service did not read) is
// drained for a moment, so that the peer reads the response before the
// connection goes away, rather than a reset.
void close_gracefully(int fd);

}  // namespace quillary::server
