// The native build runs on Linux: it reports a system that is not Windows,
// so the Windows type code stays at "not supported".
#include "platform/system.h"

#include <sys/utsname.h>

#include <cstring>

namespace quillary::platform {

bool read_os_version(os_version_record& out) {
  out = os_version_record{};
  out.platform_id = os_version_record::platform_not_windows;
  return true;
}

bool power_status_available() { return true; }

// The UTF-8 code page: the native build's text at the edges is UTF-8.
uint32_t oem_code_page() { return 65001; }

uint16_t processor_architecture() {
  utsname name{};
  if (uname(&name) != 0) return 0;
  if (std::strcmp(name.machine, "x86_64") == 0) return 9;   // PROCESSOR_ARCHITECTURE_AMD64
  if (std::strcmp(name.machine, "aarch64") == 0) return 12; // PROCESSOR_ARCHITECTURE_ARM64
  return 0;
}

bool is_wine() { return false; }

bool is_wow64_process() { return false; }

}  // namespace quillary::platform

#include <csignal>

namespace quillary::platform {
namespace {
volatile std::sig_atomic_t interrupt_seen = 0;
void on_signal(int) { interrupt_seen = 1; }
}  // namespace

bool user_is_admin() { return true; }
void catch_interrupts() {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
}
bool interrupted() { return interrupt_seen != 0; }
}  // namespace quillary::platform
