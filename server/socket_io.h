// Socket writes for the thread that answers a request, with the time-out
// and the stop flag that keep a stuck peer from holding a thread for ever.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace quillary::server {

// How long a peer may take to read on before an answer is given up.
constexpr std::chrono::seconds send_timeout{60};

// Sends everything, on a blocking socket or a non-blocking one; false on an
// error, when the peer read nothing for send_timeout, or on a stop request.
bool send_all(int fd, std::string_view data, const std::atomic<bool>& stopping);

// Waits until the peer closes the connection or `stopping` is set, without
// sending anything; bytes the peer sends meanwhile are dropped.
void wait_for_peer_close(int fd, const std::atomic<bool>& stopping);

// Sleeps for the given time in short slices; false when `stopping` was set.
bool sleep_unless_stopping(std::chrono::milliseconds duration, const std::atomic<bool>& stopping);

}  // namespace quillary::server
