#include "server/service_context.h"

#include <cstdio>

namespace quillary::server {

void service_context_c::log_request(const std::string& line) const {
  if (quiet_) return;
  warn(line);
}

void service_context_c::warn(const std::string& line) const {
  const std::lock_guard<std::mutex> lock(log_mutex_);
  std::fprintf(stderr, "quillary-service: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace quillary::server
