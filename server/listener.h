// The listening sockets of the service and the loop that accepts on them,
// one thread per connection.
#pragma once

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/options.h"
#include "server/service_context.h"

namespace quillary::server {

class listener_set_c {
 public:
  listener_set_c() = default;
  ~listener_set_c();
  listener_set_c(const listener_set_c&) = delete;
  listener_set_c& operator=(const listener_set_c&) = delete;

  // Binds and listens on every address; false with a reason (and nothing
  // left open) when one of them cannot be used.
  bool open(const std::vector<listen_address>& addresses, std::string& reason);
  // "127.0.0.1:8080" per listener, with the port actually bound.
  const std::vector<std::string>& authorities() const { return authorities_; }
  const std::vector<int>& sockets() const { return sockets_; }
  void close_all();

 private:
  std::vector<int> sockets_;
  std::vector<std::string> authorities_;
};

// Accepts connections on the listeners until stopped, serving each on a
// thread of its own. Beyond max_connections at once, a new connection gets
// a 503 at once and is closed, so that a flood cannot exhaust the threads.
class accept_loop_c {
 public:
  static constexpr size_t max_connections = 256;

  accept_loop_c(const listener_set_c& listeners, service_context_c& context);
  ~accept_loop_c();
  accept_loop_c(const accept_loop_c&) = delete;
  accept_loop_c& operator=(const accept_loop_c&) = delete;

  bool start(std::string& reason);
  // Stops accepting, cuts the open connections and waits (a few seconds at
  // most) for their threads; true when all of them ended.
  bool stop();

 private:
  void run();
  void serve(int fd, std::string peer, std::string authority);

  const listener_set_c& listeners_;
  service_context_c& context_;
  int wake_pipe_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable idle_;
  // A multiset: a connection thread closes its socket before it takes the
  // number out, so accept may already have handed the same number to a new
  // connection; each connection then owns one entry of its own.
  std::multiset<int> open_connections_;
  size_t running_ = 0;
};

}  // namespace quillary::server
