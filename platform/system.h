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

// IMAGE_FILE_MACHINE_* values of the native machine.
namespace machine_type {
constexpr uint16_t unknown = 0;
constexpr uint16_t i386 = 0x014C;
constexpr uint16_t amd64 = 0x8664;
constexpr uint16_t arm64 = 0xAA64;
}  // namespace machine_type

namespace platform {

// What the system snapshot asks the operating system, behind one interface
// so that tests can present any machine to the same snapshot code.
class system_probe_i {
 public:
  virtual ~system_probe_i() = default;
  // The kernel's own version record (RtlGetVersion), which no compatibility
  // manifest or shim changes; GetVersionExW where that call is missing.
  virtual bool read_os_version(os_version_record& out) = 0;
  // Whether GetSystemPowerStatus answers; the answer itself is not used.
  virtual bool power_status_available() = 0;
  virtual uint32_t oem_code_page() = 0;
  // wProcessorArchitecture of GetSystemInfo (9 is x64, 0 is x86, 12 ARM64).
  virtual uint16_t processor_architecture() = 0;
  // IsWow64Process for this process, looked up at run time; false when the
  // function does not exist or fails.
  virtual bool is_wow64_process() = 0;
  // The native machine from IsWow64Process2, looked up at run time: an x64
  // program emulated on ARM64 learns of the ARM64 machine only here.
  // machine_type::unknown when the function does not exist or fails.
  virtual uint16_t native_machine() = 0;
  // GetSystemWindowsDirectoryW and GetSystemDirectoryW (the latter as this
  // process sees it: a 32-bit process on 64-bit Windows is redirected).
  virtual std::u16string windows_folder() = 0;
  virtual std::u16string system_folder() = 0;
};

// The system the program runs on.
system_probe_i& running_system();

// Whether the program runs under Wine rather than Windows. Wine exports some
// routines it does not implement as stubs that end the process when called;
// the few callers that could meet one ask this first.
bool is_wine();

}  // namespace platform
}  // namespace quillary

namespace quillary::platform {
// This process's identifier.
uint32_t process_id();
// Ctrl-C (and Ctrl-Break) no longer ends the process but is remembered:
// interrupted() says whether one came since catch_interrupts().
void catch_interrupts();
bool interrupted();
}  // namespace quillary::platform
