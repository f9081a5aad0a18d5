// A machine described by the test instead of the one the tests run on, for
// the system snapshot and everything that reads it.
#pragma once

#include <string>

#include "app/system_info.h"
#include "platform/system.h"

namespace quillary::testing {

class fake_system_c : public platform::system_probe_i {
 public:
  os_version_record version;
  uint16_t processor = 9;  // PROCESSOR_ARCHITECTURE_AMD64
  bool wow64 = false;
  uint16_t native = machine_type::unknown;
  std::u16string windows = u"C:\\Windows";
  std::u16string system = u"C:\\Windows\\System32";
  bool version_readable = true;
  bool power_status = true;

  fake_system_c(uint32_t major, uint32_t minor, uint32_t build, uint8_t product_type = 1) {
    version.platform_id = os_version_record::platform_nt;
    version.major = major;
    version.minor = minor;
    version.build = build;
    version.product_type = product_type;
  }
  bool read_os_version(os_version_record& out) override {
    out = version;
    return version_readable;
  }
  bool power_status_available() override { return power_status; }
  uint32_t oem_code_page() override { return 437; }
  uint16_t processor_architecture() override { return processor; }
  bool is_wow64_process() override { return wow64; }
  uint16_t native_machine() override { return native; }
  std::u16string windows_folder() override { return windows; }
  std::u16string system_folder() override { return system; }
};

// The snapshot of a machine, taken as start-up takes it.
class taken_snapshot_c {
 public:
  explicit taken_snapshot_c(platform::system_probe_i& system) { captured_ = capture_system_snapshot(info_, system).ok(); }
  bool captured() const { return captured_; }
  system_snapshot& info() { return info_; }

 private:
  system_snapshot info_;
  bool captured_ = false;
};

}  // namespace quillary::testing
