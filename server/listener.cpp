#include "server/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillary::server {

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

std::string host_text(const sockaddr_storage& address) {
  const std::string text = address_text(address);
  return text.substr(0, text.rfind(':'));
}

namespace {

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
  const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    reason = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (where.ipv6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, SOMAXCONN) != 0) {
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

}  // namespace quillary::server
