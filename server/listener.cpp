#include "server/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "server/connection.h"

namespace quillary::server {

namespace {

// How long the accept loop rests when accept fails for want of resources.
constexpr int accept_pause_ms = 100;

std::string address_text(const sockaddr_storage& address) {
  char host[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &a.sin6_addr, host, sizeof host);
    return "[" + std::string(host) + "]:" + std::to_string(ntohs(a.sin6_port));
  }
  const auto& a = reinterpret_cast<const sockaddr_in&>(address);
  inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
  return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

int open_one(const listen_address& where, std::string& authority, std::string& reason) {
  sockaddr_storage address{};
  socklen_t length;
  if (where.ipv6) {
    auto& a = reinterpret_cast<sockaddr_in6&>(address);
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(static_cast<uint16_t>(where.port));
    inet_pton(AF_INET6, where.host.c_str(), &a.sin6_addr);
    length = sizeof a;
  } else {
    auto& a = reinterpret_cast<sockaddr_in&>(address);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(where.port));
    inet_pton(AF_INET, where.host.c_str(), &a.sin_addr);
    length = sizeof a;
  }
  const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    reason = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (where.ipv6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 128) != 0) {
    reason = "cannot listen on " + where.host + ":" + std::to_string(where.port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  sockaddr_storage bound{};
  socklen_t bound_length = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &bound_length);
  authority = address_text(bound);
  return fd;
}

}  // namespace

listener_set_c::~listener_set_c() { close_all(); }

bool listener_set_c::open(const std::vector<listen_address>& addresses, std::string& reason) {
  for (const auto& where : addresses) {
    std::string authority;
    const int fd = open_one(where, authority, reason);
    if (fd < 0) {
      close_all();
      return false;
    }
    sockets_.push_back(fd);
    authorities_.push_back(authority);
  }
  return true;
}

void listener_set_c::close_all() {
  for (const int fd : sockets_) close(fd);
  sockets_.clear();
}

accept_loop_c::accept_loop_c(const listener_set_c& listeners, service_context_c& context)
    : listeners_(listeners), context_(context) {}

accept_loop_c::~accept_loop_c() {
  stop();
  if (wake_pipe_[0] >= 0) close(wake_pipe_[0]);
  if (wake_pipe_[1] >= 0) close(wake_pipe_[1]);
}

bool accept_loop_c::start(std::string& reason) {
  if (pipe2(wake_pipe_, O_CLOEXEC) != 0) {
    reason = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  thread_ = std::thread([this] { run(); });
  return true;
}

void accept_loop_c::run() {
  const auto& sockets = listeners_.sockets();
  std::vector<pollfd> polled;
  for (const int fd : sockets) polled.push_back(pollfd{fd, POLLIN, 0});
  polled.push_back(pollfd{wake_pipe_[0], POLLIN, 0});
  while (!context_.stopping().load()) {
    if (poll(polled.data(), polled.size(), -1) < 0) {
      if (errno == EINTR) continue;
      context_.warn(std::string("poll: ") + std::strerror(errno));
      return;
    }
    if (polled.back().revents != 0) return;
    for (size_t i = 0; i + 1 < polled.size(); ++i) {
      if ((polled[i].revents & POLLIN) == 0) continue;
      sockaddr_storage peer{};
      socklen_t peer_length = sizeof peer;
      const int fd = accept4(polled[i].fd, reinterpret_cast<sockaddr*>(&peer), &peer_length, SOCK_CLOEXEC);
      if (fd < 0) {
        // Out of descriptors or memory, the connection stays queued and the
        // listener polls ready again at once; a short pause (cut short by
        // stop) keeps the loop from spinning until some connection ends.
        // Other errors mean the peer gave up already.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
          pollfd wake{wake_pipe_[0], POLLIN, 0};
          poll(&wake, 1, accept_pause_ms);
        }
        continue;
      }
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (running_ >= max_connections) {
          static const char busy[] =
              "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
          send(fd, busy, sizeof busy - 1, MSG_DONTWAIT | MSG_NOSIGNAL);  // best effort
          close(fd);
          continue;
        }
        open_connections_.insert(fd);
        ++running_;
      }
      try {
        std::thread(&accept_loop_c::serve, this, fd, address_text(peer), listeners_.authorities()[i]).detach();
      } catch (const std::system_error& error) {
        context_.warn(std::string("cannot start a connection thread: ") + error.what());
        const std::lock_guard<std::mutex> lock(mutex_);
        open_connections_.erase(open_connections_.find(fd));
        --running_;
        close(fd);
      }
    }
  }
}

void accept_loop_c::serve(int fd, std::string peer, std::string authority) {
  serve_connection(connection_info{fd, std::move(peer), std::move(authority)}, context_);
  const std::lock_guard<std::mutex> lock(mutex_);
  open_connections_.erase(open_connections_.find(fd));
  --running_;
  idle_.notify_all();
}

bool accept_loop_c::stop() {
  context_.request_stop();
  if (thread_.joinable()) {
    const char wake = 1;
    if (write(wake_pipe_[1], &wake, 1) < 0) {
      // The accept loop also sees the stop flag at its next wake-up.
    }
    thread_.join();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  // The connection threads still own their sockets; shutting them down makes
  // their blocking calls return at once.
  for (const int fd : open_connections_) shutdown(fd, SHUT_RDWR);
  return idle_.wait_for(lock, std::chrono::seconds(5), [this] { return running_ == 0; });
}

}  // namespace quillary::server
