#include "platform/shell.h"

#include "platform/win32.h"

#include <shellapi.h>

namespace quillary::platform {
namespace {

class windows_shell_c : public shell_i {
 public:
  bool open(const std::u16string& target, const std::u16string& parameters) override {
    const HINSTANCE result = ShellExecuteW(GetActiveWindow(), nullptr, wide(target),
                                           parameters.empty() ? nullptr : wide(parameters), nullptr,
                                           SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

}  // namespace

shell_i& system_shell() {
  static windows_shell_c shell;
  return shell;
}

}  // namespace quillary::platform
