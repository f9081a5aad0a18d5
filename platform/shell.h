// Starting programs and opening files and folders the way the user's shell
// does (ShellExecuteW with the default verb on Windows), and running a
// program to its end. The native build has no such shell: it refuses. Tests
// use the recorder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillary {

class shell_i {
 public:
  virtual ~shell_i() = default;
  // Opens `target` (a program, a document or a folder) with the default
  // verb, shown normally, owned by the calling thread's active window.
  // Whether what it starts succeeds is not known; false when it cannot start.
  virtual bool open(const std::u16string& target, const std::u16string& parameters) = 0;
  // Runs the program (a full path) with the parameters, without a window,
  // and waits for it to end: its exit code, or false when it cannot start.
  virtual bool run_and_wait(const std::u16string& program, const std::u16string& parameters,
                            uint32_t& exit_code) = 0;
};

namespace platform {
shell_i& system_shell();
}  // namespace platform

// Keeps what it was asked to open or run, in order; a program it runs ends
// with `exit_code`.
class recording_shell_c : public shell_i {
 public:
  struct call {
    std::u16string target;
    std::u16string parameters;
    bool waited = false;
    bool operator==(const call&) const = default;
  };
  bool open(const std::u16string& target, const std::u16string& parameters) override {
    calls.push_back({target, parameters, false});
    return starts;
  }
  bool run_and_wait(const std::u16string& program, const std::u16string& parameters, uint32_t& code) override {
    calls.push_back({program, parameters, true});
    code = exit_code;
    return starts;
  }
  std::vector<call> calls;
  uint32_t exit_code = 0;
  // False: nothing can be started (a program that is not there, say).
  bool starts = true;
};

}  // namespace quillary
