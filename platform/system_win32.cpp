#include "platform/system.h"

#include "platform/win32.h"

namespace quillary::platform {

bool read_os_version(os_version_record& out) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  // GetVersionExW is deprecated for new code, but its answer (without a
  // compatibility manifest, 6.2 on newer systems) is what the update service
  // expects the code name to be made from.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
    info = OSVERSIONINFOEXW{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
  }
#pragma GCC diagnostic pop
  out.platform_id = info.dwPlatformId;
  out.major = info.dwMajorVersion;
  out.minor = info.dwMinorVersion;
  out.build = info.dwBuildNumber;
  out.product_type = info.wProductType;
  out.service_pack = from_wide(info.szCSDVersion);
  out.server_r2 = GetSystemMetrics(SM_SERVERR2) != 0;
  return true;
}

bool power_status_available() {
  SYSTEM_POWER_STATUS status;
  return GetSystemPowerStatus(&status) != 0;
}

uint32_t oem_code_page() { return GetOEMCP(); }

uint16_t processor_architecture() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

bool is_wine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool is_wow64_process() {
  using is_wow64_fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto fn = reinterpret_cast<is_wow64_fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return fn && fn(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace quillary::platform

#include <shlobj.h>

#include <atomic>

namespace quillary::platform {
namespace {
std::atomic<bool> interrupt_seen{false};
BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  interrupt_seen = true;
  return TRUE;
}
}  // namespace

bool user_is_admin() { return IsUserAnAdmin() != FALSE; }
void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }
bool interrupted() { return interrupt_seen; }
}  // namespace quillary::platform
