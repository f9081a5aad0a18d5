#include "platform/system.h"

#include "platform/win32.h"

namespace quillary::platform {
namespace {

// A routine looked up by name at run time: older systems lack it, and a
// missing one must not keep the program from starting.
template <typename function>
function find_routine(const wchar_t* module, const char* name) {
  const HMODULE handle = GetModuleHandleW(module);
  return handle ? reinterpret_cast<function>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

void fill_version(os_version_record& out, const OSVERSIONINFOEXW& info) {
  out.platform_id = info.dwPlatformId;
  out.major = info.dwMajorVersion;
  out.minor = info.dwMinorVersion;
  out.build = info.dwBuildNumber;
  out.product_type = info.wProductType;
  out.service_pack = from_wide(info.szCSDVersion);
  out.server_r2 = GetSystemMetrics(SM_SERVERR2) != 0;
}

// GetVersionExW answers what the program's manifest declares it was tested
// on (6.2 for anything newer without a declaration); the kernel's own call
// answers the truth. It exists on every NT system the program runs on.
bool read_kernel_version(OSVERSIONINFOEXW& info) {
  using rtl_get_version_fn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  const auto rtl_get_version = find_routine<rtl_get_version_fn>(L"ntdll.dll", "RtlGetVersion");
  info = OSVERSIONINFOEXW{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  return rtl_get_version && rtl_get_version(&info) == 0;  // STATUS_SUCCESS
}

bool read_reported_version(OSVERSIONINFOEXW& info) {
  info = OSVERSIONINFOEXW{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return true;
  info = OSVERSIONINFOEXW{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0;
#pragma GCC diagnostic pop
}

std::u16string folder_from(UINT (WINAPI* query)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = query(buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? from_wide(buffer, length) : std::u16string();
}

class windows_system_c : public system_probe_i {
 public:
  bool read_os_version(os_version_record& out) override {
    OSVERSIONINFOEXW info;
    if (!read_kernel_version(info) && !read_reported_version(info)) return false;
    fill_version(out, info);
    return true;
  }

  bool power_status_available() override {
    SYSTEM_POWER_STATUS status;
    return GetSystemPowerStatus(&status) != 0;
  }

  uint32_t oem_code_page() override { return GetOEMCP(); }

  uint16_t processor_architecture() override {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.wProcessorArchitecture;
  }

  bool is_wow64_process() override {
    using is_wow64_fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto is_wow64 = find_routine<is_wow64_fn>(L"kernel32", "IsWow64Process");
    BOOL wow64 = FALSE;
    return is_wow64 && is_wow64(GetCurrentProcess(), &wow64) && wow64;
  }

  uint16_t native_machine() override {
    using is_wow64_2_fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto is_wow64_2 = find_routine<is_wow64_2_fn>(L"kernel32", "IsWow64Process2");
    USHORT process_machine = 0, native = 0;
    if (!is_wow64_2 || !is_wow64_2(GetCurrentProcess(), &process_machine, &native)) return machine_type::unknown;
    return native;
  }

  // The shared Windows folder, not a terminal-server user's own one.
  std::u16string windows_folder() override { return folder_from(GetSystemWindowsDirectoryW); }
  std::u16string system_folder() override { return folder_from(GetSystemDirectoryW); }
};

}  // namespace

system_probe_i& running_system() {
  static windows_system_c system;
  return system;
}

bool is_wine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
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

uint32_t process_id() { return GetCurrentProcessId(); }
void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }
bool interrupted() { return interrupt_seen; }
}  // namespace quillary::platform
