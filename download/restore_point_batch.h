// A restore point before drivers are installed. Installations that belong
// together (a "download all" batch, or one installation on its own) share
// one batch, and a batch asks System Restore once: the first installation
// waits for the point, the others rely on it. When System Restore cannot
// make one, the installations go on and the outcome says why.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/restore_point.h"

namespace quillary {

enum class restore_point_state {
  not_asked,      // no installation of the batch has started yet
  made,
  not_supported,  // no System Restore on this system (or under Wine)
  protection_off, // system protection is turned off
  failed,         // System Restore refused; `status` says why
};

struct restore_point_outcome {
  restore_point_state state = restore_point_state::not_asked;
  uint32_t status = 0;  // System Restore's status code when none was made
  int64_t sequence_number = 0;
  std::u16string description;
};

// "Quillary: before installing NAME", cut to what System Restore keeps.
std::u16string restore_point_description(const std::u16string& package_name);

restore_point_outcome outcome_of(const restore_point_answer& answer, const std::u16string& description);

// "made", "not_supported", "protection_off", "failed", "not_asked".
const char* state_name(restore_point_state state);
// Why no point was made, in English for the command line; empty when one was.
std::string describe(const restore_point_outcome& outcome);

class restore_point_batch_c {
 public:
  explicit restore_point_batch_c(restore_points_i& system);
  // Ends the system change of the point the batch made.
  ~restore_point_batch_c();
  restore_point_batch_c(const restore_point_batch_c&) = delete;
  restore_point_batch_c& operator=(const restore_point_batch_c&) = delete;

  // Called before each installation of the batch (from any thread): the
  // first call asks for the point, named after its package, and every call
  // answers the batch's one outcome.
  restore_point_outcome before_installing(const std::u16string& package_name);

 private:
  restore_points_i& system_;
  std::mutex mutex_;
  bool asked_ = false;
  restore_point_outcome outcome_;
};

}  // namespace quillary
