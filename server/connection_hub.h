// The connections of the running service: one thread accepts them and
// collects their requests, all at once, without a thread per connection;
// each request that has arrived whole is answered by one of the answering
// threads, and a connection that stays open comes back to collect the next
// one.
//
// What holds the service up under slow or many clients:
// - the whole request, head and body, must arrive within the request
//   deadline (408 otherwise), so a client that trickles its head in line by
//   line holds nothing for long;
// - one client address may hold only so many connections at once;
// - a connection that cannot be taken gets a 503 answer and its request is
//   read and dropped before the connection closes, so that the client sees
//   the answer rather than a reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/listener.h"
#include "server/request_reader.h"
#include "server/service_context.h"

namespace quillary::server {

class connection_hub_c {
 public:
  // Requests taken to be answered at once, and answering threads at most;
  // beyond, 503.
  static constexpr size_t max_answering = 256;

  connection_hub_c(const listener_set_c& listeners, service_context_c& context);
  ~connection_hub_c();
  connection_hub_c(const connection_hub_c&) = delete;
  connection_hub_c& operator=(const connection_hub_c&) = delete;

  bool start(std::string& reason);
  // Stops accepting, closes the waiting connections, cuts the ones being
  // answered and waits (a few seconds at most) for their threads; true when
  // all of them ended.
  bool stop();

 private:
  using clock = std::chrono::steady_clock;
  struct connection;

  void run();
  void accept_from(size_t listener);
  void read_from(connection& c);
  // Takes back the connections the answering threads are done with.
  void take_returned();
  // Looks at what the reader holds (after a read, or the leftover of the
  // previous request) and hands a complete request on.
  void advance(std::unique_ptr<connection> c, request_reader_c::step step);
  void dispatch(std::unique_ptr<connection> c);
  // An answering thread: takes the requests that are ready, one after the
  // other, until the service stops.
  void answer_requests();
  void answer(std::unique_ptr<connection> c);
  void sweep_deadlines();
  // Sends a short answer (when there is one) and keeps the socket until the
  // client has sent what it still sends, then closes it.
  void close_after(int fd, const std::string* answer);
  void drain(int fd);
  void close_waiting(int fd);
  void release_slot(const std::string& client);
  void release_slot_locked(const std::string& client);
  void set_accepting(bool on);

  const listener_set_c& listeners_;
  service_context_c& context_;
  const size_t max_open_;
  const size_t max_closing_;
  int epoll_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::thread thread_;

  // Used by the hub thread alone.
  std::unordered_map<int, std::unique_ptr<connection>> waiting_;
  std::unordered_map<int, clock::time_point> closing_;
  clock::time_point accepting_again_{};
  bool accepting_ = true;

  // Shared with the answering threads.
  std::mutex mutex_;
  std::condition_variable idle_;
  std::unordered_map<std::string, size_t> per_client_;
  std::condition_variable work_;
  std::deque<std::unique_ptr<connection>> ready_;  // complete requests no thread has taken yet
  size_t open_ = 0;       // connections waiting or being answered
  size_t answering_ = 0;  // requests ready or being answered
  size_t threads_ = 0;       // answering threads
  size_t idle_threads_ = 0;  // of them, waiting for a request
  // The sockets of the requests ready or being answered, shut down when the
  // service stops. Only the hub closes sockets, after they left this set.
  std::set<int> answering_fds_;
  // Answered connections back to the hub: to wait for the next request,
  // or to be closed.
  std::vector<std::unique_ptr<connection>> returned_;
  std::vector<int> finished_;
};

}  // namespace quillary::server
