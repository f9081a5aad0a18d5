#include "server/connection_hub.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "server/connection.h"
#include "server/http_answer.h"
#include "server/http_response.h"
#include "server/outgoing_answer.h"
#include "server/socket_io.h"

namespace quillary::server {

namespace {

constexpr uint64_t wake_tag = 1ull << 63;
constexpr uint64_t listener_tag = 1ull << 62;
// How long a refused or timed-out connection is kept to read what its
// client still sends, so that the client reads the answer, not a reset.
constexpr auto drain_time = std::chrono::seconds(2);
// How often the deadlines are looked at, and paced answers sent on.
constexpr int sweep_ms = 100;
// How long accepting rests when accept fails for want of descriptors.
constexpr auto accept_pause = std::chrono::milliseconds(100);
constexpr char continue_answer[] = "HTTP/1.1 100 Continue\r\n\r\n";
constexpr char busy_detail[] = "the service is busy; try again shortly";

size_t descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1024;
  return static_cast<size_t>(limit.rlim_cur);
}

std::string whole_answer(int status, const std::string& detail) {
  const http_answer answer = text_answer(status, detail);
  return response_head(status, {{"Content-Type", answer.content_type}}, answer.body.size()) + answer.body;
}

const std::string& busy_answer() {
  static const std::string text = whole_answer(503, busy_detail);
  return text;
}

const std::string& crowded_answer() {
  static const std::string text = whole_answer(503, "too many connections from your address at once");
  return text;
}

const std::string& late_answer() {
  static const std::string text = whole_answer(408, "the request did not arrive in time");
  return text;
}

void send_now(int fd, const std::string& text) {
  if (send(fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
    // Best effort: a fresh connection's send buffer takes a short answer.
  }
}

std::string seconds_text(std::chrono::milliseconds time) {
  const auto tenths = (time.count() + 50) / 100;
  return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

}  // namespace

struct connection_hub_c::connection {
  // Where the connection is while the hub holds it; while an answering
  // thread has it, the hub does not.
  enum class phase {
    reading,  // collecting its request
    sending,  // its answer goes out as the client takes it
    resting,  // its paced answer waits for its next bytes to fall due
    holding,  // its answer is out, and it stays open until the client closes (the stall fault)
  };

  explicit connection(buffer_budget_c& budget) : buffers(budget) {}
  bool cover_buffers() { return buffers.cover(reader->held() + (answer ? answer->held() : 0)); }

  int fd = -1;
  std::string client;  // the address alone: the unit of the per-client limit
  std::string peer;    // with the port, for the log
  size_t listener = 0;
  phase state = phase::reading;
  // A reader or answer done with is destroyed, not assigned over: a string
  // that a short one is moved onto keeps its buffer, and a request body's
  // buffer must go back as soon as the body has been answered.
  std::unique_ptr<request_reader_c> reader;
  std::unique_ptr<outgoing_answer_c> answer;  // while sending or resting
  budget_share_c buffers;                     // what the reader and the answer hold
  clock::time_point deadline;  // for the request being read
  bool reused = false;         // it carried a request before
  bool watched = false;        // in the epoll set, for `events`
  uint32_t events = 0;
};

connection_hub_c::connection_hub_c(const listener_set_c& listeners, service_context_c& context)
    : listeners_(listeners),
      context_(context),
      max_open_(std::clamp<size_t>(descriptor_limit() / 2, 64, 16384)),
      max_closing_(std::clamp<size_t>(descriptor_limit() / 4, 16, 4096)),
      budget_(context.options().buffer_budget) {}

connection_hub_c::~connection_hub_c() {
  stop();
  for (const int fd : {epoll_, wake_pipe_[0], wake_pipe_[1]}) {
    if (fd >= 0) close(fd);
  }
}

bool connection_hub_c::start(std::string& reason) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0 || pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    reason = std::string("epoll: ") + std::strerror(errno);
    return false;
  }
  epoll_event wake{EPOLLIN, {.u64 = wake_tag}};
  epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_pipe_[0], &wake);
  for (size_t i = 0; i < listeners_.sockets().size(); ++i) {
    epoll_event event{EPOLLIN, {.u64 = listener_tag | i}};
    epoll_ctl(epoll_, EPOLL_CTL_ADD, listeners_.sockets()[i], &event);
  }
  thread_ = std::thread([this] { run(); });
  return true;
}

void connection_hub_c::run() {
  std::vector<epoll_event> events(256);
  auto next_sweep = clock::now();
  while (!context_.stopping().load()) {
    const int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), sweep_ms);
    if (count < 0 && errno != EINTR) {
      context_.warn(std::string("epoll_wait: ") + std::strerror(errno));
      break;
    }
    for (int i = 0; i < count; ++i) {
      const uint64_t tag = events[i].data.u64;
      if (tag == wake_tag) {
        char drained[64];
        while (read(wake_pipe_[0], drained, sizeof drained) > 0) {
        }
        take_returned();
      } else if (tag & listener_tag) {
        accept_from(static_cast<size_t>(tag & ~listener_tag));
      } else if (const int fd = static_cast<int>(tag); connections_.count(fd) != 0) {
        on_event(*connections_[fd], events[i].events);
      } else if (closing_.count(fd) != 0 && !drop_input(fd)) {
        close(fd);
        closing_.erase(fd);
      }
    }
    const auto now = clock::now();
    if (!accepting_ && now >= accepting_again_) set_accepting(true);
    if (now >= next_sweep) {
      sweep();
      next_sweep = now + std::chrono::milliseconds(sweep_ms);
    }
  }
  for (const auto& [fd, c] : connections_) close(fd);
  for (const auto& [fd, until] : closing_) close(fd);
  connections_.clear();
  closing_.clear();
}

void connection_hub_c::accept_from(size_t listener) {
  const size_t max_per_client = context_.options().max_per_client;
  for (;;) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = accept4(listeners_.sockets()[listener], reinterpret_cast<sockaddr*>(&peer), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      // Out of descriptors or memory, the connection stays queued and the
      // listener stays ready: accepting rests a moment rather than spin.
      // Other errors mean the client gave up already.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        set_accepting(false);
        accepting_again_ = clock::now() + accept_pause;
      }
      return;
    }
    auto c = std::make_unique<connection>(budget_);
    c->fd = fd;
    c->client = host_text(peer);
    c->peer = address_text(peer);
    c->listener = listener;
    c->reader = std::make_unique<request_reader_c>(context_.fault());
    c->deadline = clock::now() + context_.options().request_deadline;
    const std::string* refusal = nullptr;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (open_ >= max_open_) {
        refusal = &busy_answer();
      } else if (max_per_client != 0 && per_client_[c->client] >= max_per_client) {
        refusal = &crowded_answer();
      } else {
        ++per_client_[c->client];
        ++open_;
      }
    }
    if (refusal != nullptr) {
      context_.log_request(c->peer + " refused: " + (refusal == &busy_answer() ? "too many connections"
                                                                                : "too many from this address"));
      close_after(fd, refusal);
      continue;
    }
    watch(*c, EPOLLIN | EPOLLRDHUP);
    connections_.emplace(fd, std::move(c));
  }
}

void connection_hub_c::on_event(connection& c, uint32_t events) {
  switch (c.state) {
    case connection::phase::reading: read_from(c); return;
    case connection::phase::sending: send_on(c); return;
    case connection::phase::resting:
      // Nothing is watched while it rests; only a failed connection tells.
      if (events & (EPOLLERR | EPOLLHUP)) close_connection(c.fd);
      return;
    case connection::phase::holding:
      if (!drop_input(c.fd)) close_connection(c.fd);
      return;
  }
}

void connection_hub_c::read_from(connection& c) {
  char buffer[65536];
  const ssize_t got = recv(c.fd, buffer, std::min(sizeof buffer, c.reader->wanted()), 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) {
    // The client went away before its request was whole.
    close_connection(c.fd);
    return;
  }
  look_at_request(c, c.reader->take(std::string_view(buffer, static_cast<size_t>(got))));
}

void connection_hub_c::look_at_request(connection& c, request_reader_c::step step) {
  if (!c.cover_buffers()) {
    refuse_for_budget(c.fd, "request heads and bodies arriving");
    return;
  }
  if (step == request_reader_c::step::done) {
    unwatch(c);
    dispatch(detach(c.fd));
    return;
  }
  if (step == request_reader_c::step::send_continue) send_now(c.fd, continue_answer);
  watch(c, EPOLLIN | EPOLLRDHUP);
}

void connection_hub_c::take_returned() {
  std::vector<std::unique_ptr<connection>> returned;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    returned.swap(returned_);
  }
  for (auto& owned : returned) {
    connection& c = *owned;
    c.state = connection::phase::sending;
    connections_.emplace(c.fd, std::move(owned));
    // Most answers fit into the socket at once.
    send_on(c);
  }
}

void connection_hub_c::dispatch(std::unique_ptr<connection> c) {
  bool taken = false;
  bool more_threads = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (answering_ < max_answering) {
      ++answering_;
      ready_.push_back(std::move(c));
      taken = true;
      // Threads are made as requests need them and kept for the next ones:
      // making one per request would cost more than most answers.
      if (ready_.size() > idle_threads_ && threads_ < max_answering) {
        ++threads_;
        more_threads = true;
      }
    }
  }
  if (!taken) {
    context_.log_request(c->peer + " refused: " + std::to_string(max_answering) + " requests being answered");
    release_slot(c->client);
    close_after(c->fd, &busy_answer());
    return;
  }
  work_.notify_one();
  if (!more_threads) return;
  try {
    std::thread([this] { answer_requests(); }).detach();
  } catch (const std::system_error& error) {
    // The threads there are take the request in their turn.
    context_.warn(std::string("cannot start a thread to answer: ") + error.what());
    const std::lock_guard<std::mutex> lock(mutex_);
    --threads_;
  }
}

void connection_hub_c::answer_requests() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_threads_;
    work_.wait(lock, [this] { return !ready_.empty() || context_.stopping().load(); });
    --idle_threads_;
    if (ready_.empty()) break;
    std::unique_ptr<connection> c = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    answer(std::move(c));
    lock.lock();
  }
  --threads_;
  idle_.notify_all();
}

void connection_hub_c::answer(std::unique_ptr<connection> c) {
  const connection_info info{c->peer, listeners_.authorities()[c->listener]};
  c->answer = std::make_unique<outgoing_answer_c>(answer_request(info, c->reader->result(), context_));
  // The request's buffers go now; the bytes after it stay for the next one.
  const bool again = c->answer->after() == after_answer::next_request;
  c->reader = std::make_unique<request_reader_c>(context_.fault(), again ? c->reader->take_leftover() : "");
  if (!c->cover_buffers()) {
    context_.log_request(c->peer + " refused: answers waiting for their clients fill the buffer budget");
    c->answer = std::make_unique<outgoing_answer_c>(buffered_answer(text_answer(503, busy_detail), false));
    c->reader = std::make_unique<request_reader_c>();
    c->cover_buffers();  // less than before, so always covered
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    --answering_;
    returned_.push_back(std::move(c));
    idle_.notify_all();
  }
  const char wake = 1;
  if (write(wake_pipe_[1], &wake, 1) < 0) {
    // The pipe is full: the hub is woken up already.
  }
}

void connection_hub_c::send_on(connection& c) {
  socket_sink_c sink(c.fd);
  switch (c.answer->pump(sink, clock::now())) {
    case outgoing_answer_c::progress::finished: answer_sent(c); return;
    case outgoing_answer_c::progress::blocked:
      c.state = connection::phase::sending;
      watch(c, EPOLLOUT);
      return;
    case outgoing_answer_c::progress::resting:
      c.state = connection::phase::resting;
      watch(c, 0);
      return;
    case outgoing_answer_c::progress::failed:
      if (const std::string line = c.answer->log_line(); !line.empty()) {
        context_.log_request(line + " (cut short: the connection failed)");
      }
      close_connection(c.fd);
      return;
  }
}

void connection_hub_c::answer_sent(connection& c) {
  if (const std::string line = c.answer->log_line(); !line.empty()) context_.log_request(line);
  switch (c.answer->after()) {
    case after_answer::next_request:
      c.answer.reset();
      c.state = connection::phase::reading;
      c.reused = true;
      c.deadline = clock::now() + context_.options().request_deadline;
      // The bytes after the last request may hold the next one whole.
      look_at_request(c, c.reader->take({}));
      return;
    case after_answer::close: {
      const std::unique_ptr<connection> owned = detach(c.fd);
      release_slot(owned->client);
      close_after(owned->fd, nullptr);
      return;
    }
    case after_answer::hold_open:
      c.answer.reset();
      c.cover_buffers();
      c.state = connection::phase::holding;
      watch(c, EPOLLIN | EPOLLRDHUP);
      return;
  }
}

void connection_hub_c::sweep() {
  const auto now = clock::now();
  const auto send_timeout = context_.options().send_timeout;
  std::vector<int> late, stuck, due;
  for (const auto& [fd, c] : connections_) {
    switch (c->state) {
      case connection::phase::reading:
        if (c->deadline <= now) late.push_back(fd);
        break;
      case connection::phase::sending:
        if (now - c->answer->last_progress() >= send_timeout) stuck.push_back(fd);
        break;
      case connection::phase::resting: due.push_back(fd); break;
      case connection::phase::holding: break;
    }
  }
  for (const int fd : late) {
    const std::unique_ptr<connection> c = detach(fd);
    release_slot(c->client);
    if (c->reused && !c->reader->started()) {
      // An idle connection kept open for a next request that never came.
      close(fd);
      continue;
    }
    context_.log_request(c->peer + " request not complete within the deadline: 408");
    close_after(fd, &late_answer());
  }
  for (const int fd : stuck) {
    const std::unique_ptr<connection> c = detach(fd);
    release_slot(c->client);
    const std::string line = c->answer->log_line();
    context_.log_request((line.empty() ? c->peer : line) + " (cut: the client took nothing for " +
                         seconds_text(send_timeout) + ")");
    reset_connection(fd);
  }
  for (const int fd : due) send_on(*connections_.at(fd));
  for (auto it = closing_.begin(); it != closing_.end();) {
    if (it->second <= now) {
      close(it->first);
      it = closing_.erase(it);
    } else {
      ++it;
    }
  }
}

void connection_hub_c::close_after(int fd, const std::string* answer) {
  if (answer != nullptr) send_now(fd, *answer);
  shutdown(fd, SHUT_WR);
  if (closing_.size() >= max_closing_) {
    close(fd);
    return;
  }
  epoll_event event{EPOLLIN | EPOLLRDHUP, {.u64 = static_cast<uint64_t>(fd)}};
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0 && errno == EEXIST) {
    epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
  }
  closing_[fd] = clock::now() + drain_time;
}

bool connection_hub_c::drop_input(int fd) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got > 0) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

std::unique_ptr<connection_hub_c::connection> connection_hub_c::detach(int fd) {
  const auto it = connections_.find(fd);
  std::unique_ptr<connection> c = std::move(it->second);
  connections_.erase(it);
  return c;
}

void connection_hub_c::close_connection(int fd) {
  const std::unique_ptr<connection> c = detach(fd);
  close(fd);
  release_slot(c->client);
}

void connection_hub_c::refuse_for_budget(int fd, const char* what) {
  const std::unique_ptr<connection> c = detach(fd);
  context_.log_request(c->peer + " refused: " + what + " fill the buffer budget");
  release_slot(c->client);
  close_after(fd, &busy_answer());
}

void connection_hub_c::watch(connection& c, uint32_t events) {
  if (c.watched && c.events == events) return;
  epoll_event event{events, {.u64 = static_cast<uint64_t>(c.fd)}};
  epoll_ctl(epoll_, c.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, c.fd, &event);
  c.watched = true;
  c.events = events;
}

void connection_hub_c::unwatch(connection& c) {
  if (c.watched) epoll_ctl(epoll_, EPOLL_CTL_DEL, c.fd, nullptr);
  c.watched = false;
}

void connection_hub_c::release_slot(const std::string& client) {
  const std::lock_guard<std::mutex> lock(mutex_);
  --open_;
  if (--per_client_[client] == 0) per_client_.erase(client);
}

void connection_hub_c::set_accepting(bool on) {
  accepting_ = on;
  for (size_t i = 0; i < listeners_.sockets().size(); ++i) {
    epoll_event event{on ? static_cast<uint32_t>(EPOLLIN) : 0u, {.u64 = listener_tag | i}};
    epoll_ctl(epoll_, EPOLL_CTL_MOD, listeners_.sockets()[i], &event);
  }
}

bool connection_hub_c::stop() {
  context_.request_stop();
  if (thread_.joinable()) {
    const char wake = 1;
    if (write(wake_pipe_[1], &wake, 1) < 0) {
      // The hub also sees the stop flag at its next sweep.
    }
    thread_.join();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  // The answering threads touch no socket: they finish the answers they
  // prepare and end.
  work_.notify_all();
  const bool ended =
      idle_.wait_for(lock, std::chrono::seconds(5), [this] { return answering_ == 0 && threads_ == 0; });
  for (const auto& c : returned_) close(c->fd);
  returned_.clear();
  return ended;
}

}  // namespace quillary::server
