#include "download/restore_point_batch.h"

#include "platform/text.h"

namespace quillary {
namespace {

// Status codes of STATEMGRSTATUS that have a reason of their own.
constexpr uint32_t error_bad_environment = 10;    // safe mode
constexpr uint32_t error_disk_full = 112;         // standby: little disk space left
constexpr uint32_t error_service_disabled = 1058;  // system protection off
constexpr uint32_t error_timeout = 1460;          // another point was being made

// System Restore keeps 256 characters with the terminator.
constexpr size_t description_capacity = 255;

// A point numbered above every point that existed before the request is
// new; one that is not is an earlier point Windows kept. Without the points
// before it, or without a number, nobody can say.
restore_point_state answered_point_state(const restore_point_answer& answer) {
  if (!answer.previous_known || answer.sequence_number <= 0) return restore_point_state::unknown_whether_new;
  return answer.sequence_number > answer.previous_sequence_number ? restore_point_state::made
                                                                  : restore_point_state::reused;
}

constexpr restore_point_state all_states[] = {
    restore_point_state::not_asked,      restore_point_state::made,   restore_point_state::not_supported,
    restore_point_state::protection_off, restore_point_state::failed, restore_point_state::reused,
    restore_point_state::unknown_whether_new};

}  // namespace

std::u16string restore_point_description(const std::u16string& package_name) {
  return (u"Quillary: before installing " + package_name).substr(0, description_capacity);
}

restore_point_outcome outcome_of(const restore_point_answer& answer, const std::u16string& description) {
  restore_point_outcome outcome;
  outcome.description = description;
  outcome.status = answer.status;
  if (!answer.supported) {
    outcome.state = restore_point_state::not_supported;
  } else if (answer.made) {
    outcome.state = answered_point_state(answer);
    outcome.status = 0;
    outcome.sequence_number = answer.sequence_number;
    outcome.created = answer.created;
  } else {
    outcome.state = answer.status == error_service_disabled ? restore_point_state::protection_off
                                                            : restore_point_state::failed;
  }
  return outcome;
}

bool has_restore_point(const restore_point_outcome& outcome) {
  return outcome.state == restore_point_state::made || outcome.state == restore_point_state::reused ||
         outcome.state == restore_point_state::unknown_whether_new;
}

restore_point_refusal refusal_of(uint32_t status) {
  switch (status) {
    case error_bad_environment: return restore_point_refusal::safe_mode;
    case error_disk_full: return restore_point_refusal::disk_full;
    case error_timeout: return restore_point_refusal::busy;
    default: return restore_point_refusal::other;
  }
}

const char* state_name(restore_point_state state) {
  switch (state) {
    case restore_point_state::not_asked: return "not_asked";
    case restore_point_state::made: return "made";
    case restore_point_state::not_supported: return "not_supported";
    case restore_point_state::protection_off: return "protection_off";
    case restore_point_state::failed: return "failed";
    case restore_point_state::reused: return "reused";
    case restore_point_state::unknown_whether_new: return "unknown_whether_new";
  }
  return "";
}

restore_point_state restore_point_state_from_name(const std::string& name) {
  for (const restore_point_state state : all_states) {
    if (name == state_name(state)) return state;
  }
  return restore_point_state::unknown_whether_new;
}

std::string describe(const restore_point_outcome& outcome) {
  const std::string number = std::to_string(outcome.sequence_number);
  switch (outcome.state) {
    case restore_point_state::made: return {};
    case restore_point_state::not_asked: return "no installation has asked for one";
    case restore_point_state::not_supported: return "this system has no System Restore";
    case restore_point_state::protection_off: return "system protection is turned off";
    case restore_point_state::reused:
      return "Windows made no new restore point and kept restore point " + number +
             (outcome.created.empty() ? "" : " of " + utf16_to_utf8(outcome.created)) +
             ": it makes at most one a day";
    case restore_point_state::unknown_whether_new:
      return "System Restore answered with restore point " + number +
             ", but the points before it could not be read: it may be an earlier one";
    case restore_point_state::failed: break;
  }
  switch (refusal_of(outcome.status)) {
    case restore_point_refusal::safe_mode: return "System Restore does not work in safe mode";
    case restore_point_refusal::disk_full: return "System Restore is on standby: the disk is nearly full";
    case restore_point_refusal::busy: return "System Restore was busy making another restore point";
    case restore_point_refusal::other: break;
  }
  return "System Restore refused (status " + std::to_string(outcome.status) + ")";
}

restore_point_batch_c::restore_point_batch_c(restore_points_i& system) : system_(system) {}

// Only a point the batch made is ended. A point Windows kept was begun, and
// ended, by whoever made it (Windows Update, another installer, an earlier
// installation of ours); its snapshot was taken when it was begun, so it
// needs nothing from us, and an END_SYSTEM_CHANGE sent for it would tell
// System Restore that a change another program began is complete. A point
// that may or may not be new is left alone for the same reason: if it was
// ours, it still holds the snapshot taken at its beginning.
restore_point_batch_c::~restore_point_batch_c() {
  if (outcome_.state == restore_point_state::made) system_.end_change(outcome_.sequence_number);
}

restore_point_outcome restore_point_batch_c::before_installing(const std::u16string& package_name) {
  // Held while System Restore works: no installation of the batch may start
  // before the point exists.
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!asked_) {
    asked_ = true;
    const std::u16string description = restore_point_description(package_name);
    outcome_ = outcome_of(system_.begin_driver_change(description), description);
  }
  return outcome_;
}

}  // namespace quillary
