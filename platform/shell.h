// Starting programs and opening files and folders the way the user's shell
// does (ShellExecuteW with the default verb on Windows). The native build has
// no such shell: it refuses. Tests use the recorder.
#pragma once

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
};

namespace platform {
shell_i& system_shell();
}  // namespace platform

// Keeps what it was asked to open, in order.
class recording_shell_c : public shell_i {
 public:
  struct call {
    std::u16string target;
    std::u16string parameters;
    bool operator==(const call&) const = default;
  };
  bool open(const std::u16string& target, const std::u16string& parameters) override {
    calls.push_back({target, parameters});
    return true;
  }
  std::vector<call> calls;
};

}  // namespace quillary
