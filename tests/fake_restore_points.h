// System Restore for the tests: counts the restore points asked for and
// answers as the test sets it.
#pragma once

#include <string>
#include <vector>

#include "platform/restore_point.h"
#include "platform/shell.h"

namespace quillary::testing {

// What System Restore answers: a new point numbered above the newest before
// it; an earlier point Windows kept (its number, not above the newest);
// one while the points before could not be read; a refusal; no System
// Restore at all.
inline restore_point_answer point_of_unknown_age(int64_t number) {
  restore_point_answer answer;
  answer.supported = true;
  answer.made = true;
  answer.sequence_number = number;
  return answer;
}
inline restore_point_answer new_point(int64_t number, int64_t newest_before) {
  restore_point_answer answer = point_of_unknown_age(number);
  answer.previous_known = true;
  answer.previous_sequence_number = newest_before;
  answer.created = u"2026-12-09T07:27:00Z";
  return answer;
}
inline restore_point_answer kept_point(int64_t number, const std::u16string& created) {
  restore_point_answer answer = new_point(number, number);
  answer.created = created;
  return answer;
}
inline restore_point_answer refusal(uint32_t status) {
  restore_point_answer answer;
  answer.supported = true;
  answer.status = status;
  return answer;
}
inline restore_point_answer no_system_restore() { return {}; }

class counting_restore_points_c : public restore_points_i {
 public:
  restore_point_answer answer = new_point(41, 40);
  std::vector<std::u16string> begun;  // the descriptions, in order
  std::vector<int64_t> ended;
  // When set, "restore point" goes into it at every request, so that a
  // test can see what came first.
  std::vector<std::string>* events = nullptr;

  restore_point_answer begin_driver_change(const std::u16string& description) override {
    begun.push_back(description);
    if (events) events->push_back("restore point");
    return answer;
  }
  void end_change(int64_t sequence_number) override { ended.push_back(sequence_number); }
};

// A recording shell that also notes its calls among the events.
class event_shell_c : public recording_shell_c {
 public:
  explicit event_shell_c(std::vector<std::string>& events) : events_(events) {}
  bool open(const std::u16string& target, const std::u16string& parameters) override {
    events_.push_back("open");
    return recording_shell_c::open(target, parameters);
  }
  bool run_and_wait(const std::u16string& program, const std::u16string& parameters, uint32_t& code) override {
    events_.push_back("run");
    return recording_shell_c::run_and_wait(program, parameters, code);
  }

 private:
  std::vector<std::string>& events_;
};

}  // namespace quillary::testing
