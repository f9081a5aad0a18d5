// The native build runs on Linux: it reports a system that is not Windows,
// so the Windows type code stays at "not supported".
#include "platform/system.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>

namespace quillary::platform {
namespace {

class linux_system_c : public system_probe_i {
 public:
  bool read_os_version(os_version_record& out) override {
    out = os_version_record{};
    out.platform_id = os_version_record::platform_not_windows;
    return true;
  }
  bool power_status_available() override { return true; }
  // The UTF-8 code page: the native build's text at the edges is UTF-8.
  uint32_t oem_code_page() override { return 65001; }
  uint16_t processor_architecture() override {
    utsname name{};
    if (uname(&name) != 0) return 0;
    if (std::strcmp(name.machine, "x86_64") == 0) return 9;    // PROCESSOR_ARCHITECTURE_AMD64
    if (std::strcmp(name.machine, "aarch64") == 0) return 12;  // PROCESSOR_ARCHITECTURE_ARM64
    return 0;
  }
  bool is_wow64_process() override { return false; }
  uint16_t native_machine() override { return machine_type::unknown; }
  // No Windows folders: nothing of Windows is started from the native build.
  std::u16string windows_folder() override { return {}; }
  std::u16string system_folder() override { return {}; }
};

}  // namespace

system_probe_i& running_system() {
  static linux_system_c system;
  return system;
}

bool is_wine() { return false; }

}  // namespace quillary::platform

#include <csignal>

namespace quillary::platform {
namespace {
volatile std::sig_atomic_t interrupt_seen = 0;
void on_signal(int) { interrupt_seen = 1; }
}  // namespace

uint32_t process_id() { return static_cast<uint32_t>(getpid()); }
void catch_interrupts() {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
}
bool interrupted() { return interrupt_seen != 0; }
}  // namespace quillary::platform
