// A restore point before drivers are installed. Installations that belong
// together (a "download all" batch, or one installation on its own) share
// one batch, and a batch asks System Restore once: the first installation
// waits for the point, the others rely on it. When System Restore cannot
// make one, the installations go on and the outcome says why. Since
// Windows 8 System Restore makes at most one point a day (by default) and
// answers a request within that day with the earlier point: the outcome
// tells such a point from a new one, and never calls it made.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/restore_point.h"

namespace quillary {

enum class restore_point_state {
  not_asked,      // no installation of the batch has started yet
  made,           // a new point, made for this batch
  not_supported,  // no System Restore on this system (or under Wine)
  protection_off, // system protection is turned off
  failed,         // System Restore refused; `status` says why
  reused,         // Windows made none and answered with an earlier point
  // Windows answered with a point, but the points before it could not be
  // read: it may be new or an earlier one.
  unknown_whether_new,
};

struct restore_point_outcome {
  restore_point_state state = restore_point_state::not_asked;
  uint32_t status = 0;  // System Restore's status code when none was made
  // The point Windows answered with (made, reused, unknown_whether_new).
  int64_t sequence_number = 0;
  // When that point was made, as "2026-12-09T07:27:00Z"; empty when unknown.
  std::u16string created;
  std::u16string description;
};

// Whether the outcome names a restore point that exists (new or not).
bool has_restore_point(const restore_point_outcome& outcome);

// Why System Restore refused (state `failed`), by its status code.
enum class restore_point_refusal { safe_mode, disk_full, busy, other };
restore_point_refusal refusal_of(uint32_t status);

// "Quillary: before installing NAME", cut to what System Restore keeps.
std::u16string restore_point_description(const std::u16string& package_name);

restore_point_outcome outcome_of(const restore_point_answer& answer, const std::u16string& description);

// "made", "not_supported", "protection_off", "failed", "not_asked",
// "reused", "unknown_whether_new".
const char* state_name(restore_point_state state);
// The state a name stands for. A name of none (a record written by another
// version, or damaged) is "unknown_whether_new": it is never taken for a
// point that was made, nor for one that is missing.
restore_point_state restore_point_state_from_name(const std::string& name);
// Why no new point was made, in English for the command line; empty when one
// was.
std::string describe(const restore_point_outcome& outcome);

class restore_point_batch_c {
 public:
  explicit restore_point_batch_c(restore_points_i& system);
  // Ends the system change of the point the batch made, and of no other
  // (see the definition).
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
