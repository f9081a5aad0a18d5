// System Restore for the tests: counts the restore points asked for and
// answers as the test sets it.
#pragma once

#include <string>
#include <vector>

#include "platform/restore_point.h"
#include "platform/shell.h"

namespace quillary::testing {

class counting_restore_points_c : public restore_points_i {
 public:
  restore_point_answer answer{true, true, 0, 41};
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
