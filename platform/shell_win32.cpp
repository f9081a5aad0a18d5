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

  bool run_and_wait(const std::u16string& program, const std::u16string& parameters, uint32_t& exit_code) override {
    // The program by its full path, never searched for; quoted, as its
    // folder may hold blanks.
    std::wstring command_line = L"\"" + std::wstring(wide(program)) + L"\"";
    if (!parameters.empty()) command_line += L" " + std::wstring(wide(parameters));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wide(program), command_line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
      return false;
    }
    CloseHandle(process.hThread);
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    exit_code = code;
    return ended;
  }
};

}  // namespace

shell_i& system_shell() {
  static windows_shell_c shell;
  return shell;
}

}  // namespace quillary::platform
