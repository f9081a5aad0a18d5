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
#include "server/socket_io.h"

namespace quillary::server {

namespace {

constexpr uint64_t wake_tag = 1ull << 63;
constexpr uint64_t listener_tag = 1ull << 62;
// How long a refused or timed-out connection is kept to read what its
// client still sends, so that the client reads the answer, not a reset.
constexpr auto drain_time = std::chrono::seconds(2);
// How often the deadlines are looked at.
constexpr int sweep_ms = 100;
// How long accepting rests when accept fails for want of descriptors.
constexpr auto accept_pause = std::chrono::milliseconds(100);
constexpr char continue_answer[] = "HTTP/1.1 100 Continue\r\n\r\n";

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
  static const std::string text = whole_answer(503, "the service is busy; try again shortly");
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

}  // namespace

struct connection_hub_c::connection {
  int fd = -1;
  std::string client;  // the address alone: the unit of the per-client limit
  std::string peer;    // with the port, for the log
  size_t listener = 0;
  request_reader_c reader;
  clock::time_point deadline;
  bool reused = false;  // it carried a request before
};

connection_hub_c::connection_hub_c(const listener_set_c& listeners, service_context_c& context)
    : listeners_(listeners),
      context_(context),
      max_open_(std::clamp<size_t>(descriptor_limit() / 2, 64, 16384)),
      max_closing_(std::clamp<size_t>(descriptor_limit() / 4, 16, 4096)) {}

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
      } else if (const int fd = static_cast<int>(tag); waiting_.count(fd) != 0) {
        read_from(*waiting_[fd]);
      } else if (closing_.count(fd) != 0) {
        drain(fd);
      }
    }
    const auto now = clock::now();
    if (!accepting_ && now >= accepting_again_) set_accepting(true);
    if (now >= next_sweep) {
      sweep_deadlines();
      next_sweep = now + std::chrono::milliseconds(sweep_ms);
    }
  }
  for (const auto& [fd, c] : waiting_) close(fd);
  for (const auto& [fd, until] : closing_) close(fd);
  waiting_.clear();
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
    auto c = std::make_unique<connection>();
    c->fd = fd;
    c->client = host_text(peer);
    c->peer = address_text(peer);
    c->listener = listener;
    c->reader = request_reader_c(context_.fault());
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
    epoll_event event{EPOLLIN | EPOLLRDHUP, {.u64 = static_cast<uint64_t>(fd)}};
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    waiting_.emplace(fd, std::move(c));
  }
}

void connection_hub_c::read_from(connection& c) {
  char buffer[65536];
  const ssize_t got = recv(c.fd, buffer, std::min(sizeof buffer, c.reader.wanted()), 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) {
    // The client went away before its request was whole.
    close_waiting(c.fd);
    return;
  }
  const request_reader_c::step step = c.reader.take(std::string_view(buffer, static_cast<size_t>(got)));
  if (step == request_reader_c::step::done) {
    auto owned = std::move(waiting_[c.fd]);
    waiting_.erase(owned->fd);
    epoll_ctl(epoll_, EPOLL_CTL_DEL, owned->fd, nullptr);
    dispatch(std::move(owned));
  } else if (step == request_reader_c::step::send_continue) {
    send_now(c.fd, continue_answer);
  }
}

void connection_hub_c::take_returned() {
  std::vector<std::unique_ptr<connection>> returned;
  std::vector<int> finished;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    returned.swap(returned_);
    finished.swap(finished_);
  }
  for (const int fd : finished) close_after(fd, nullptr);
  for (auto& c : returned) {
    c->deadline = clock::now() + context_.options().request_deadline;
    // The bytes after the last request may hold the next one whole.
    const request_reader_c::step step = c->reader.take({});
    if (step == request_reader_c::step::done) {
      dispatch(std::move(c));
      continue;
    }
    if (step == request_reader_c::step::send_continue) send_now(c->fd, continue_answer);
    epoll_event event{EPOLLIN | EPOLLRDHUP, {.u64 = static_cast<uint64_t>(c->fd)}};
    epoll_ctl(epoll_, EPOLL_CTL_ADD, c->fd, &event);
    const int fd = c->fd;
    waiting_.emplace(fd, std::move(c));
  }
}

void connection_hub_c::dispatch(std::unique_ptr<connection> c) {
  bool taken = false;
  bool more_threads = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (answering_ < max_answering) {
      ++answering_;
      answering_fds_.insert(c->fd);
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
  const connection_info info{c->fd, c->peer, listeners_.authorities()[c->listener]};
  const bool again = answer_request(info, c->reader.result(), context_) && !context_.stopping().load();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    --answering_;
    answering_fds_.erase(c->fd);
    if (again) {
      c->reader = request_reader_c(context_.fault(), c->reader.take_leftover());
      c->reused = true;
      returned_.push_back(std::move(c));
    } else {
      // The hub closes it once the client has read the answer; this thread
      // does not wait for that.
      release_slot_locked(c->client);
      finished_.push_back(c->fd);
    }
    idle_.notify_all();
  }
  const char wake = 1;
  if (write(wake_pipe_[1], &wake, 1) < 0) {
    // The pipe is full: the hub is woken up already.
  }
}

void connection_hub_c::sweep_deadlines() {
  const auto now = clock::now();
  std::vector<int> late;
  for (const auto& [fd, c] : waiting_) {
    if (c->deadline <= now) late.push_back(fd);
  }
  for (const int fd : late) {
    const std::unique_ptr<connection> c = std::move(waiting_[fd]);
    waiting_.erase(fd);
    release_slot(c->client);
    if (c->reused && !c->reader.started()) {
      // An idle connection kept open for a next request that never came.
      close(fd);
      continue;
    }
    context_.log_request(c->peer + " request not complete within the deadline: 408");
    close_after(fd, &late_answer());
  }
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

void connection_hub_c::drain(int fd) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got > 0) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got < 0 && errno == EINTR) continue;
    close(fd);
    closing_.erase(fd);
    return;
  }
}

void connection_hub_c::close_waiting(int fd) {
  const std::unique_ptr<connection> c = std::move(waiting_[fd]);
  waiting_.erase(fd);
  close(fd);
  release_slot(c->client);
}

void connection_hub_c::release_slot(const std::string& client) {
  const std::lock_guard<std::mutex> lock(mutex_);
  release_slot_locked(client);
}

void connection_hub_c::release_slot_locked(const std::string& client) {
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
  // The answering threads still own their sockets; shutting them down makes
  // their writes fail at once.
  for (const int fd : answering_fds_) shutdown(fd, SHUT_RDWR);
  work_.notify_all();
  const bool ended =
      idle_.wait_for(lock, std::chrono::seconds(5), [this] { return answering_ == 0 && threads_ == 0; });
  for (const auto& c : returned_) close(c->fd);
  for (const int fd : finished_) close(fd);
  returned_.clear();
  finished_.clear();
  return ended;
}

}  // namespace quillary::server
