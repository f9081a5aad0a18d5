// What the operating system says about itself: version, processor, power,
// code pages. The Windows build asks Windows; the native build describes the
// Linux host, which is not a Windows system.
#pragma once

#include <cstdint>
#include <string>

namespace quillary {

// The fields of the system's extended version record that the program uses.
struct os_version_record {
  static constexpr uint32_t platform_win32s = 0;
  static constexpr uint32_t platform_win32_windows = 1;
  static constexpr uint32_t platform_nt = 2;
  static constexpr uint32_t platform_not_windows = 0xFFFFFFFF;
  static constexpr uint8_t workstation = 1;  // VER_NT_WORKSTATION

  uint32_t platform_id = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  // 0 when only the plain version record could be read.
  uint8_t product_type = 0;
  std::u16string service_pack;  // szCSDVersion
  // GetSystemMetrics(SM_SERVERR2) is not 0.
  bool server_r2 = false;
};

namespace platform {

// GetVersionExW with the extended record, falling back to the plain one.
bool read_os_version(os_version_record& out);

// Whether GetSystemPowerStatus answers; the answer itself is not used.
bool power_status_available();

uint32_t oem_code_page();

// wProcessorArchitecture of GetSystemInfo (9 is x64, 0 is x86).
uint16_t processor_architecture();

// Whether the program runs under Wine rather than Windows. Wine exports some
// routines it does not implement as stubs that end the process when called;
// the few callers that could meet one ask this first.
bool is_wine();

// IsWow64Process for this process, looked up at run time; false when the
// function does not exist or fails.
bool is_wow64_process();

}  // namespace platform
}  // namespace quillary

namespace quillary::platform {
// Whether the user has administrator rights (IsUserAnAdmin); always true
// natively, where nothing is installed.
bool user_is_admin();
// Ctrl-C (and Ctrl-Break) no longer ends the process but is remembered:
// interrupted() says whether one came since catch_interrupts().
void catch_interrupts();
bool interrupted();
}  // namespace quillary::platform
