#include "server/service_context.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace quillary::server {

service_context_c::service_context_c(std::shared_ptr<const catalogue_c> catalogue, service_options options)
    : catalogue_(std::move(catalogue)),
      options_(std::move(options)),
      query_slots_(static_cast<std::ptrdiff_t>(query_slot_count())) {}

size_t service_context_c::query_slot_count() {
  return std::max<size_t>(2, 2 * std::thread::hardware_concurrency());
}

std::shared_ptr<const catalogue_c> service_context_c::catalogue() const {
  const std::lock_guard<std::mutex> lock(catalogue_mutex_);
  return catalogue_;
}

void service_context_c::replace_catalogue(std::shared_ptr<const catalogue_c> catalogue) {
  const std::lock_guard<std::mutex> lock(catalogue_mutex_);
  catalogue_ = std::move(catalogue);
}

void service_context_c::log_request(const std::string& line) const {
  if (options_.quiet) return;
  warn(line);
}

void service_context_c::warn(const std::string& line) const {
  const std::lock_guard<std::mutex> lock(log_mutex_);
  std::fprintf(stderr, "quillary-service: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace quillary::server
