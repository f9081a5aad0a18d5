// What every connection of the running service shares: the catalogue, the
// fault mode, the stop flag and the log.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "server/catalogue.h"
#include "server/fault_mode.h"

namespace quillary::server {

class service_context_c {
 public:
  service_context_c(const catalogue_c& catalogue, fault_mode fault, bool quiet)
      : catalogue_(catalogue), fault_(fault), quiet_(quiet) {}

  const catalogue_c& catalogue() const { return catalogue_; }
  const fault_mode& fault() const { return fault_; }
  const std::atomic<bool>& stopping() const { return stopping_; }
  void request_stop() { stopping_.store(true); }

  // One line on stderr per request, unless quiet; lines of different
  // threads do not mix.
  void log_request(const std::string& line) const;
  // Warnings are written even when quiet.
  void warn(const std::string& line) const;

 private:
  const catalogue_c& catalogue_;
  const fault_mode fault_;
  const bool quiet_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex log_mutex_;
};

}  // namespace quillary::server
