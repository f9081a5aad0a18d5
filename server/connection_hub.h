// The connections of the running service: one thread accepts them, collects
// their requests and writes their answers, all at once and without a
// thread per connection; each request that has arrived whole is handed to
// one of the answering threads, which prepares its answer and hands the
// connection back. So no thread waits on a client, neither for a request
// coming in nor for an answer going out.
//
// What holds the service up under slow or many clients:
// - the whole request, head and body, must arrive within the request
//   deadline (408 otherwise), so a client that trickles its head in line by
//   line holds nothing for long;
// - a client that takes nothing of its answer for the send time-out is cut;
// - one client address may hold only so many connections at once, from
//   its first byte in to its last byte out;
// - what connections buffer (request heads and bodies, answers waiting to
//   be read) comes out of one budget; a connection that needs more than is
//   left gets 503;
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
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/buffer_budget.h"
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
  // Stops accepting, closes the connections and waits (a few seconds at
  // most) for the answering threads; true when all of them ended.
  bool stop();

 private:
  using clock = std::chrono::steady_clock;
  struct connection;

  void run();
  void accept_from(size_t listener);
  void on_event(connection& c, uint32_t events);
  void read_from(connection& c);
  // Looks at what the reader holds (after a read, or the leftover of the
  // previous request) and hands a complete request on.
  void look_at_request(connection& c, request_reader_c::step step);
  void dispatch(std::unique_ptr<connection> c);
  // An answering thread: takes the requests that are ready, one after the
  // other, until the service stops.
  void answer_requests();
  // Prepares the answer and hands the connection back to the hub.
  void answer(std::unique_ptr<connection> c);
  // Takes back the connections the answering threads prepared answers for.
  void take_returned();
  // Writes what the client takes of the connection's answer now.
  void send_on(connection& c);
  void answer_sent(connection& c);
  // Deadlines, send time-outs and paced answers.
  void sweep();
  // Sends a short answer (when there is one) and keeps the socket until the
  // client has sent what it still sends, then closes it.
  void close_after(int fd, const std::string* answer);
  // Reads and drops what the client sends; false once it closed or failed.
  static bool drop_input(int fd);
  std::unique_ptr<connection> detach(int fd);
  void close_connection(int fd);
  void refuse_for_budget(int fd, const char* what);
  void watch(connection& c, uint32_t events);
  void unwatch(connection& c);
  void release_slot(const std::string& client);
  void set_accepting(bool on);

  const listener_set_c& listeners_;
  service_context_c& context_;
  const size_t max_open_;
  const size_t max_closing_;
  // Before everything that holds connections: their shares go back to it.
  buffer_budget_c budget_;
  int epoll_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::thread thread_;

  // Used by the hub thread alone: the connections waiting for a request or
  // sending an answer.
  std::unordered_map<int, std::unique_ptr<connection>> connections_;
  std::unordered_map<int, clock::time_point> closing_;
  clock::time_point accepting_again_{};
  bool accepting_ = true;

  // Shared with the answering threads.
  std::mutex mutex_;
  std::condition_variable idle_;
  std::unordered_map<std::string, size_t> per_client_;
  std::condition_variable work_;
  std::deque<std::unique_ptr<connection>> ready_;  // complete requests no thread has taken yet
  size_t open_ = 0;       // connections from accept until closed
  size_t answering_ = 0;  // requests ready or being answered
  size_t threads_ = 0;       // answering threads
  size_t idle_threads_ = 0;  // of them, waiting for a request
  // Connections back to the hub with their answers.
  std::vector<std::unique_ptr<connection>> returned_;
};

}  // namespace quillary::server
