#include "app/system_info.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include <cstdio>


#include "platform/files.h"
#include "platform/text.h"
#include "platform/wmi.h"

namespace quillary {

namespace {

int nt6_type(uint32_t minor, bool workstation) {
  using namespace os_type_code;
  switch (minor) {
    case 0: return workstation ? windows_vista : windows_2008;
    case 1: return workstation ? windows_7 : windows_2008_r2;
    case 2: return windows_8;
    case 3: return windows_81;
    default: return windows_xp;  // newer than the table knows
  }
}

}  // namespace

int os_type_for(const os_version_record& version, int previous) {
  using namespace os_type_code;
  if (version.platform_id == os_version_record::platform_win32s) return not_supported;
  if (version.platform_id != os_version_record::platform_nt) return previous;
  const bool workstation = version.product_type == os_version_record::workstation;
  switch (version.major) {
    case 5:
      if (version.minor == 0) return not_supported;
      if (version.minor == 1) return windows_xp;
      if (version.minor == 2) return version.server_r2 ? windows_2003_r2 : windows_2003;
      return windows_xp;
    case 6:
      return nt6_type(version.minor, workstation);
    case 10:
      // Windows 11 kept the version number of Windows 10; only its builds
      // tell them apart.
      if (version.minor != 0) return windows_xp;
      return version.build >= windows_11_first_build ? windows_11 : windows_10;
    default:
      // NT 4 and older are not supported; versions newer than the table
      // knows fall back to the oldest supported name.
      return version.major < 5 ? not_supported : windows_xp;
  }
}

const char* os_code_name_for(int os_type, os_architecture architecture) {
  struct names {
    const char* x86;
    const char* x64;
    const char* arm64;  // only systems that ran on ARM64 PCs have a name here
  };
  static constexpr names table[] = {
      {"NOT_SUPPORTED", "NOT_SUPPORTED", "NOT_SUPPORTED"},
      {"WIN2000", "", ""},
      {"WINXP", "WINXP64", ""},
      {"WIN2003", "WIN200364", ""},
      {"WIN2003", "WIN200364", ""},
      {"VISTA", "VISTA64", ""},
      {"WIN2008", "WIN200864", ""},
      {"WIN2008", "WIN200864", ""},
      {"WIN7", "WIN764", ""},
      {"WIN8", "WIN864", ""},
      {"UNKNOWN", "UNKNOWN", "UNKNOWN"},
      {"WIN81", "WIN8164", ""},
      {"WIN10", "WIN1064", "WIN10ARM64"},
      {"WIN11", "WIN1164", "WIN11ARM64"},
  };
  if (os_type < 0 || os_type >= static_cast<int>(std::size(table))) return "";
  const names& row = table[os_type];
  switch (architecture) {
    case os_architecture::x86: return row.x86;
    case os_architecture::x64: return row.x64;
    case os_architecture::arm64: return row.arm64;
  }
  return "";
}

bool is_64bit_for(uint16_t processor_architecture, bool wow64) {
  return (processor_architecture & 0xF) != 0 || wow64;
}

os_architecture architecture_for(uint16_t processor_architecture, bool wow64, uint16_t native_machine) {
  constexpr uint16_t processor_arm64 = 12;  // PROCESSOR_ARCHITECTURE_ARM64
  if (native_machine == machine_type::arm64 || processor_architecture == processor_arm64) {
    return os_architecture::arm64;
  }
  return is_64bit_for(processor_architecture, wow64) ? os_architecture::x64 : os_architecture::x86;
}

const char* architecture_name(os_architecture architecture) {
  switch (architecture) {
    case os_architecture::x86: return "x86";
    case os_architecture::x64: return "x64";
    case os_architecture::arm64: return "arm64";
  }
  return "";
}

std::u16string native_system_folder_for(const std::u16string& windows_folder, const std::u16string& system_folder,
                                        bool wow64) {
  // A 32-bit process asking for System32 gets SysWOW64, whose programs are
  // the 32-bit ones; Sysnative exists for exactly such a process.
  if (wow64 && !windows_folder.empty()) return platform::join_path(windows_folder, u"Sysnative");
  return system_folder;
}

std::u16string format_byte_size(int64_t count) {
  char text[32];
  if (count < 0) {
    std::snprintf(text, sizeof text, "%dB", static_cast<int32_t>(static_cast<uint32_t>(count)));
  } else if (count > (int64_t{1} << 30)) {
    std::snprintf(text, sizeof text, "%.2fG", static_cast<double>(count) / (1 << 30));
  } else if (count > (int64_t{1} << 20)) {
    std::snprintf(text, sizeof text, "%.2fM", static_cast<double>(count) / (1 << 20));
  } else if (count > 1024) {
    std::snprintf(text, sizeof text, "%.2fK", static_cast<double>(count) / 1024);
  } else {
    std::snprintf(text, sizeof text, "%dB", static_cast<int>(count));
  }
  return ascii_to_utf16(text);
}

std::u16string compose_os_name(const std::u16string& caption, const std::u16string& build,
                               const std::u16string& service_pack) {
  std::u16string name = caption;
  if (!build.empty()) name += u" Build " + build;
  if (!service_pack.empty()) name += u" " + service_pack;
  return name;
}

int64_t parse_capacity(const std::u16string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  uint64_t value = 0;
  constexpr uint64_t limit = static_cast<uint64_t>(INT64_MAX);
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const unsigned digit = text[i] - u'0';
    // Saturate rather than overflow, as the C library's conversion does.
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

bool detect_os_type(system_snapshot& info, platform::system_probe_i& system) {
  os_version_record version;
  if (!system.read_os_version(version)) return false;
  info.version = version;
  info.os_type = os_type_for(version, info.os_type);
  return true;
}

outcome capture_system_snapshot(system_snapshot& info, platform::system_probe_i& system) {
  if (!detect_os_type(info, system)) {
    return outcome::failed(error_code::os_version_unknown, "the Windows version cannot be read");
  }
  if (!system.power_status_available()) {
    return outcome::failed(error_code::power_status_failed, "the power status cannot be read");
  }
  info.oem_code_page = system.oem_code_page();
  info.processor_architecture = system.processor_architecture();
  // Only an x86 process needs to ask whether it runs under WOW64.
  info.wow64 = (info.processor_architecture & 0xF) == 0 && system.is_wow64_process();
  info.native_machine = system.native_machine();
  info.system_folder = native_system_folder_for(system.windows_folder(), system.system_folder(), info.wow64);
  info.module_path = platform::module_file_path();
  info.working_folder = platform::current_directory();
  // A root folder already ends with its separator; never double it.
  if (info.working_folder.empty() || info.working_folder.back() != platform::path_separator) {
    info.working_folder += platform::path_separator;
  }
  return outcome::done();
}

bool is_64bit_system(const system_snapshot& info) { return is_64bit_for(info.processor_architecture, info.wow64); }

os_architecture architecture_of(const system_snapshot& system) {
  return architecture_for(system.processor_architecture, system.wow64, system.native_machine);
}

const char* os_code_name_of(const system_snapshot& system) {
  return os_code_name_for(system.os_type, architecture_of(system));
}

int32_t os_version_code_of(const system_snapshot& system) {
  return static_cast<int32_t>(system.version.major * 10 + system.version.minor);
}


int wmi_first_value(wmi_connection_i& wmi, const std::u16string& query,
                    const std::u16string& property, std::u16string& out) {
  return wmi.for_each_value(query, property, [&](const std::u16string& value) {
    out = value;
    return false;
  });
}

void collect_system_summary(wmi_connection_i& wmi, system_summary& out) {
  wmi_first_value(wmi, u"SELECT * FROM Win32_Processor", u"name", out.processor);

  // A field whose query fails or finds nothing stays empty.
  std::u16string caption, build, service_pack;
  wmi_first_value(wmi, u"SELECT * FROM Win32_OperatingSystem", u"Caption", caption);
  if (!caption.empty()) {
    wmi_first_value(wmi, u"SELECT * FROM Win32_OperatingSystem", u"BuildNumber", build);
    wmi_first_value(wmi, u"SELECT * FROM Win32_OperatingSystem", u"CSDVersion", service_pack);
    out.os_name = compose_os_name(caption, build, service_pack);
  }

  uint64_t memory = 0;  // unsigned, so that absurd totals wrap instead of overflowing
  int modules = 0;
  wmi.for_each_value(u"SELECT * FROM Win32_PhysicalMemory", u"Capacity",
                     [&](const std::u16string& value) {
                       memory += static_cast<uint64_t>(parse_capacity(value));
                       ++modules;
                       return true;
                     });
  if (modules > 0) out.memory = format_byte_size(static_cast<int64_t>(memory));

  wmi_first_value(wmi, u"SELECT * FROM Win32_DiskDrive", u"Model", out.disk);
  wmi_first_value(wmi, u"SELECT * FROM Win32_DisplayConfiguration", u"Caption", out.display);
  wmi_first_value(wmi, u"SELECT * FROM Win32_SoundDevice", u"Description", out.sound);
  wmi_first_value(wmi, u"SELECT * FROM Win32_ComputerSystem", u"Model", out.model);
}

struct background_summary_c::shared_state {
  system_summary* target = nullptr;
  std::mutex lock;  // over `target`, `abandoned` and `connection`
  bool abandoned = false;
  connection_state connection = connection_state::pending;
  std::condition_variable connection_known;
  std::atomic<bool> ready{false};
  std::atomic<bool> started{false};
  std::atomic<bool> ended{false};
};

background_summary_c::background_summary_c(system_summary& target) : state_(std::make_shared<shared_state>()) {
  state_->target = &target;
}

background_summary_c::~background_summary_c() { finish(std::chrono::milliseconds(0)); }

bool background_summary_c::start(connector connect) {
  state_->started.store(true);
  try {
    thread_ = std::thread([state = state_, connect = std::move(connect)] {
      const platform::wmi_thread_scope_c com;
      // Into a record of this thread's own first; readers see the target
      // only once `ready` is set.
      system_summary summary;
      const auto wmi = connect();
      {
        const std::lock_guard<std::mutex> hold(state->lock);
        state->connection = wmi ? connection_state::made : connection_state::failed;
      }
      state->connection_known.notify_all();
      if (wmi) collect_system_summary(*wmi, summary);
      {
        const std::lock_guard<std::mutex> hold(state->lock);
        if (!state->abandoned) {
          *state->target = std::move(summary);
          state->ready.store(true, std::memory_order_release);
        }
      }
      state->ended.store(true);
    });
  } catch (const std::system_error&) {
    state_->started.store(false);
    return false;
  }
  return true;
}

bool background_summary_c::ready() const { return state_->ready.load(std::memory_order_acquire); }

background_summary_c::connection_state background_summary_c::wait_connection() const {
  std::unique_lock<std::mutex> hold(state_->lock);
  if (!state_->started.load()) return connection_state::failed;
  state_->connection_known.wait(hold, [&] { return state_->connection != connection_state::pending; });
  return state_->connection;
}

bool background_summary_c::wait_ready(std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // Read from other threads than the one that owns the thread object:
  // only the shared flags are looked at.
  while (!ready() && state_->started.load() && !state_->ended.load() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ready();
}

void background_summary_c::finish(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) return;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!state_->ended.load() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (state_->ended.load()) {
    thread_.join();
    return;
  }
  // A WMI query that never returns (a damaged repository, a provider that
  // hangs; Wine's display query on a busy X server) must not keep the
  // program from ending.
  {
    const std::lock_guard<std::mutex> hold(state_->lock);
    state_->abandoned = true;
  }
  thread_.detach();
}

int system_info_c::collect_summary(const background_summary_c::connector& connect) {
  const auto wmi = connect ? connect() : platform::connect_wmi();
  if (!wmi) return -1;
  collect_system_summary(*wmi, snapshot_.summary);
  collected_now_.store(true, std::memory_order_release);
  return 0;
}

int system_info_c::start_summary(background_summary_c::connector connect) {
  if (!connect) connect = [] { return platform::connect_wmi(); };
  if (!summary_.start(connect)) {
    thread_started_ = false;
    return collect_summary(connect);
  }
  thread_started_ = true;
  return 0;
}

int system_info_c::summary_connection() const {
  if (!thread_started_) return collected_now_.load(std::memory_order_acquire) ? 0 : -1;
  return summary_.wait_connection() == background_summary_c::connection_state::made ? 0 : -1;
}

bool system_info_c::summary_ready() const {
  return collected_now_.load(std::memory_order_acquire) || summary_.ready();
}

bool system_info_c::wait_for_summary(std::chrono::milliseconds limit) const {
  return summary_ready() || summary_.wait_ready(limit);
}

void system_info_c::finish_summary(std::chrono::milliseconds limit) { summary_.finish(limit); }

}  // namespace quillary
