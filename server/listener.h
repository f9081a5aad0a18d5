// The listening sockets of the service.
#pragma once

#include <string>
#include <vector>

#include "server/options.h"

struct sockaddr_storage;

namespace quillary::server {

// "127.0.0.1:8080" or "[::1]:8080".
std::string address_text(const sockaddr_storage& address);
// The address alone: "127.0.0.1", "[::1]".
std::string host_text(const sockaddr_storage& address);

class listener_set_c {
 public:
  listener_set_c() = default;
  ~listener_set_c();
  listener_set_c(const listener_set_c&) = delete;
  listener_set_c& operator=(const listener_set_c&) = delete;

  // Binds and listens (non-blocking) on every address; false with a reason
  // (and nothing left open) when one of them cannot be used.
  bool open(const std::vector<listen_address>& addresses, std::string& reason);
  // "127.0.0.1:8080" per listener, with the port actually bound.
  const std::vector<std::string>& authorities() const { return authorities_; }
  const std::vector<int>& sockets() const { return sockets_; }
  void close_all();

 private:
  std::vector<int> sockets_;
  std::vector<std::string> authorities_;
};

}  // namespace quillary::server
