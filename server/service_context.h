// What every connection of the running service shares: the catalogue, the
// options, the stop flag, the log and the slots for answering queries.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>

#include "server/catalogue.h"
#include "server/options.h"

namespace quillary::server {

class service_context_c {
 public:
  service_context_c(std::shared_ptr<const catalogue_c> catalogue, service_options options);

  // The catalogue as it is now. A request keeps the one it started with,
  // so that a catalogue read again meanwhile (SIGHUP) never changes under it.
  std::shared_ptr<const catalogue_c> catalogue() const;
  void replace_catalogue(std::shared_ptr<const catalogue_c> catalogue);

  const service_options& options() const { return options_; }
  const fault_mode& fault() const { return options_.fault; }
  const std::atomic<bool>& stopping() const { return stopping_; }
  void request_stop() { stopping_.store(true); }

  // Holds one of the query slots while it lives: at most twice as many
  // queries as the machine has processors are worked on at once, which
  // bounds the memory queries take together (see update_request.h).
  class query_slot_c {
   public:
    explicit query_slot_c(std::counting_semaphore<>& slots) : slots_(slots) { slots_.acquire(); }
    ~query_slot_c() { slots_.release(); }
    query_slot_c(const query_slot_c&) = delete;
    query_slot_c& operator=(const query_slot_c&) = delete;

   private:
    std::counting_semaphore<>& slots_;
  };
  query_slot_c query_slot() const { return query_slot_c(query_slots_); }
  static size_t query_slot_count();

  // One line on stderr per request, unless quiet; lines of different
  // threads do not mix.
  void log_request(const std::string& line) const;
  // Warnings are written even when quiet.
  void warn(const std::string& line) const;

 private:
  mutable std::mutex catalogue_mutex_;
  std::shared_ptr<const catalogue_c> catalogue_;
  const service_options options_;
  std::atomic<bool> stopping_{false};
  mutable std::counting_semaphore<> query_slots_;
  mutable std::mutex log_mutex_;
};

}  // namespace quillary::server
