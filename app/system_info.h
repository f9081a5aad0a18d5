// What the program knows about the machine, gathered once at start-up and
// read-only afterwards: the Windows type code and its code name for the
// update service, the version code, the system width, the OEM code page, the
// program's own path and folder, and a readable summary from WMI.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/outcome.h"
#include "platform/system.h"

namespace quillary {

class wmi_connection_i;

// Windows type codes. Detection sets 0, 2 to 9 and 11 to 13; 1 and 10 exist
// only in the code-name table. The codes of newer systems come after the old
// ones, which keep their numbers.
namespace os_type_code {
constexpr int not_supported = 0;
constexpr int windows_2000 = 1;
constexpr int windows_xp = 2;
constexpr int windows_2003 = 3;
constexpr int windows_2003_r2 = 4;
constexpr int windows_vista = 5;
constexpr int windows_2008 = 6;
constexpr int windows_2008_r2 = 7;
constexpr int windows_7 = 8;
constexpr int windows_8 = 9;
constexpr int unknown = 10;
constexpr int windows_81 = 11;
constexpr int windows_10 = 12;
constexpr int windows_11 = 13;
}  // namespace os_type_code

// Windows 11 still reports NT 10.0: its builds start here.
constexpr uint32_t windows_11_first_build = 22000;

// The machine's instruction set as drivers are built for it. An x64 program
// emulated on an ARM64 PC sees x64 everywhere but in the native machine.
enum class os_architecture { x86, x64, arm64 };

struct system_summary {
  std::u16string model;
  std::u16string os_name;
  std::u16string processor;
  std::u16string memory;
  std::u16string disk;
  std::u16string display;
  std::u16string sound;
};

// The process-wide values.
struct system_snapshot {
  os_version_record version;
  int os_type = os_type_code::not_supported;
  uint16_t processor_architecture = 0;
  bool wow64 = false;
  uint16_t native_machine = machine_type::unknown;
  // Where the system's own programs (pnputil.exe) are for this process:
  // System32, or for a 32-bit process on 64-bit Windows the Sysnative alias
  // that reaches the real System32 past the redirection.
  std::u16string system_folder;
  uint32_t oem_code_page = 0;
  std::u16string module_path;
  std::u16string working_folder;  // ends with a path separator
  system_summary summary;
};

// --- The rules, free of any system call ---------------------------------

// The type code for a version record; `previous` is kept for platforms
// other than NT and Win32s.
int os_type_for(const os_version_record& version, int previous);

// The code name the update service expects; empty for codes outside the
// table and for systems that never ran on the architecture.
const char* os_code_name_for(int os_type, os_architecture architecture);

// Any architecture but x86 is 64-bit; on x86 it is WOW64 that tells.
bool is_64bit_for(uint16_t processor_architecture, bool wow64);

// ARM64 when the native machine (or, for a native ARM64 program, the
// processor) says so; otherwise x64 or x86 by the system's width.
os_architecture architecture_for(uint16_t processor_architecture, bool wow64, uint16_t native_machine);
const char* architecture_name(os_architecture architecture);  // "x86", "x64", "arm64"

// The folder of the system's own programs as this process must name it.
std::u16string native_system_folder_for(const std::u16string& windows_folder, const std::u16string& system_folder,
                                        bool wow64);

// "%dB", "%.2fK", "%.2fM" or "%.2fG" with the thresholds as strict comparisons.
std::u16string format_byte_size(int64_t count);

// Caption, " Build " and the build number, then a blank and the service pack.
std::u16string compose_os_name(const std::u16string& caption, const std::u16string& build,
                               const std::u16string& service_pack);

// A decimal capacity as WMI reports it; parsing stops at the first non-digit.
int64_t parse_capacity(const std::u16string& text);

// --- The snapshot --------------------------------------------------------

// Fills the snapshot from the system (tests pass a probe of their own);
// fails with error_code 10 (version) or 12 (power status).
outcome capture_system_snapshot(system_snapshot& out, platform::system_probe_i& system = platform::running_system());
bool detect_os_type(system_snapshot& out, platform::system_probe_i& system = platform::running_system());
// What a snapshot says.
bool is_64bit_system(const system_snapshot& system);
const char* os_code_name_of(const system_snapshot& system);
os_architecture architecture_of(const system_snapshot& system);
int32_t os_version_code_of(const system_snapshot& system);

// The summary over a given connection.
void collect_system_summary(wmi_connection_i& wmi, system_summary& out);

// A summary collected on a thread of its own and put into `target` once
// whole. What the thread shares lives as long as the thread, so a thread
// left behind (finish's limit passed) never writes into anything gone.
class background_summary_c {
 public:
  using connector = std::function<std::unique_ptr<wmi_connection_i>()>;
  explicit background_summary_c(system_summary& target);
  ~background_summary_c();  // finish() with no time to wait
  background_summary_c(const background_summary_c&) = delete;
  background_summary_c& operator=(const background_summary_c&) = delete;

  // False when no thread can be made.
  bool start(connector connect);
  // Whether the thread could connect: waits for it to have tried (for as
  // long as the connection takes; the thread tries nothing else first).
  enum class connection_state { pending, made, failed };
  connection_state wait_connection() const;
  // The target holds the summary: from then on it may be read.
  bool ready() const;
  // Waits until the summary is ready or the thread has ended, at most
  // `limit`; whether it is ready.
  bool wait_ready(std::chrono::milliseconds limit) const;
  // Waits at most `limit` for the thread. One that has not ended by then
  // is left to end with the process, and its values are dropped.
  void finish(std::chrono::milliseconds limit);

 private:
  struct shared_state;
  std::shared_ptr<shared_state> state_;
  std::thread thread_;
};
// The running program's view of its system: the snapshot taken at start-up
// and the WMI summary read in the background. Built once by the program's
// start (and by the command line) and handed to what needs it.
class system_info_c {
 public:
  system_info_c() : summary_(snapshot_.summary) {}
  system_info_c(const system_info_c&) = delete;
  system_info_c& operator=(const system_info_c&) = delete;

  // See capture_system_snapshot.
  outcome capture(platform::system_probe_i& system = platform::running_system()) {
    return capture_system_snapshot(snapshot_, system);
  }
  const system_snapshot& snapshot() const { return snapshot_; }

  // The WMI summary, read now: -1 when the connection cannot be made.
  int collect_summary(const background_summary_c::connector& connect = nullptr);
  // The WMI step of the program's start-up. The connection and the
  // queries, which take half a second, run on a thread of their own, so
  // that the window is made meanwhile; summary_connection() then says
  // whether the connection could be made (0, or -1 as with
  // collect_summary), waiting for the attempt. Only where no thread can be
  // made is the summary read here, and -1 returned when the connection
  // cannot be made. The summary's fields may be read once summary_ready()
  // says so; finish_summary() waits for the thread (at exit, before the
  // values go), at most `limit`: a query that hangs is left to end with the
  // process, and the summary is never ready.
  // `connect` makes the connection (the system's WMI when empty).
  int start_summary(background_summary_c::connector connect = nullptr);
  int summary_connection() const;
  bool summary_ready() const;
  // From any thread: waits at most `limit` for the summary; whether it is ready.
  bool wait_for_summary(std::chrono::milliseconds limit) const;
  void finish_summary(std::chrono::milliseconds limit = std::chrono::seconds(3));

 private:
  system_snapshot snapshot_;
  background_summary_c summary_;
  bool thread_started_ = false;
  std::atomic<bool> collected_now_{false};
};

int wmi_first_value(wmi_connection_i& wmi, const std::u16string& query,
                    const std::u16string& property, std::u16string& out);

}  // namespace quillary
