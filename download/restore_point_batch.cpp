#include "download/restore_point_batch.h"

namespace quillary {
namespace {

// Status codes of STATEMGRSTATUS that have a reason of their own.
constexpr uint32_t error_bad_environment = 10;    // safe mode
constexpr uint32_t error_disk_full = 112;         // standby: little disk space left
constexpr uint32_t error_service_disabled = 1058;  // system protection off
constexpr uint32_t error_timeout = 1460;          // another point was being made

// System Restore keeps 256 characters with the terminator.
constexpr size_t description_capacity = 255;

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
    outcome.state = restore_point_state::made;
    outcome.status = 0;
    outcome.sequence_number = answer.sequence_number;
  } else {
    outcome.state = answer.status == error_service_disabled ? restore_point_state::protection_off
                                                            : restore_point_state::failed;
  }
  return outcome;
}

const char* state_name(restore_point_state state) {
  switch (state) {
    case restore_point_state::not_asked: return "not_asked";
    case restore_point_state::made: return "made";
    case restore_point_state::not_supported: return "not_supported";
    case restore_point_state::protection_off: return "protection_off";
    case restore_point_state::failed: return "failed";
  }
  return "";
}

std::string describe(const restore_point_outcome& outcome) {
  switch (outcome.state) {
    case restore_point_state::made: return {};
    case restore_point_state::not_asked: return "no installation has asked for one";
    case restore_point_state::not_supported: return "this system has no System Restore";
    case restore_point_state::protection_off: return "system protection is turned off";
    case restore_point_state::failed: break;
  }
  switch (outcome.status) {
    case error_bad_environment: return "System Restore does not work in safe mode";
    case error_disk_full: return "System Restore is on standby: the disk is nearly full";
    case error_timeout: return "System Restore was busy making another restore point";
    default: return "System Restore refused (status " + std::to_string(outcome.status) + ")";
  }
}

restore_point_batch_c::restore_point_batch_c(restore_points_i& system) : system_(system) {}

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
