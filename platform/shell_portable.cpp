#include "platform/shell.h"

namespace quillary::platform {
namespace {

class no_shell_c : public shell_i {
 public:
  bool open(const std::u16string&, const std::u16string&) override { return false; }
  bool run_and_wait(const std::u16string&, const std::u16string&, uint32_t&) override { return false; }
};

}  // namespace

shell_i& system_shell() {
  static no_shell_c shell;
  return shell;
}

}  // namespace quillary::platform
