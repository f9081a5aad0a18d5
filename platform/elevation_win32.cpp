#include "platform/elevation.h"

#include "platform/win32.h"

#include <shellapi.h>
#include <shlobj.h>

namespace quillary::platform {
namespace {

bool token_is_limited() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  const bool read = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) != FALSE;
  CloseHandle(token);
  return read && type == TokenElevationTypeLimited;
}

// UAC's switch (User Account Control: run all administrators in Admin
// Approval Mode). Missing counts as on, Windows' default.
bool uac_is_on() {
  DWORD value = 1;
  DWORD size = sizeof value;
  const LSTATUS status =
      RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                   L"EnableLUA", RRF_RT_REG_DWORD, nullptr, &value, &size);
  return status != ERROR_SUCCESS || value != 0;
}

class windows_elevator_c : public elevator_i {
 public:
  process_rights rights() override {
    token_facts token;
    token.administrators_enabled = IsUserAnAdmin() != FALSE;
    token.limited = token_is_limited();
    token.uac_on = uac_is_on();
    return classify_rights(token);
  }

  elevation_answer run_elevated(const std::u16string& program, const std::u16string& parameters, uintptr_t owner,
                                uint32_t& exit_code) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The process handle to wait on; no error box of the shell's own (the
    // caller tells the user); a prompt that belongs to the program's window
    // rather than one that flashes in the taskbar.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = reinterpret_cast<HWND>(owner);
    info.lpVerb = L"runas";
    info.lpFile = wide(program);
    info.lpParameters = parameters.empty() ? nullptr : wide(parameters);
    info.nShow = SW_HIDE;  // the companion is a console program with nothing to show
    if (!ShellExecuteExW(&info)) {
      return GetLastError() == ERROR_CANCELLED ? elevation_answer::declined : elevation_answer::failed;
    }
    if (!info.hProcess) return elevation_answer::failed;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(info.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    exit_code = code;
    return ended ? elevation_answer::ran : elevation_answer::failed;
  }
};

}  // namespace

elevator_i& system_elevator() {
  static windows_elevator_c elevator;
  return elevator;
}

}  // namespace quillary::platform
