#include "app/system_info.h"

#include <cstdio>

#include "app/last_error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/wmi.h"

namespace quillary {

system_snapshot& system_info() {
  static system_snapshot snapshot;
  return snapshot;
}

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
      if (version.minor == 0) return workstation ? windows_vista : windows_2008;
      if (version.minor == 1) return workstation ? windows_7 : windows_2008_r2;
      if (version.minor == 2) return windows_8;
      return windows_xp;
    default:
      // NT 4 and older are not supported; versions newer than the table
      // knows fall back to the oldest supported name.
      return version.major < 5 ? not_supported : windows_xp;
  }
}

const char* os_code_name_for(int os_type, bool is_64bit) {
  struct names {
    const char* x86;
    const char* x64;
  };
  static constexpr names table[] = {
      {"NOT_SUPPORTED", "NOT_SUPPORTED"},
      {"WIN2000", ""},
      {"WINXP", "WINXP64"},
      {"WIN2003", "WIN200364"},
      {"WIN2003", "WIN200364"},
      {"VISTA", "VISTA64"},
      {"WIN2008", "WIN200864"},
      {"WIN2008", "WIN200864"},
      {"WIN7", "WIN764"},
      {"WIN8", "WIN864"},
      {"UNKNOWN", "UNKNOWN"},
  };
  if (os_type < 0 || os_type >= static_cast<int>(std::size(table))) return "";
  return is_64bit ? table[os_type].x64 : table[os_type].x86;
}

bool is_64bit_for(uint16_t processor_architecture, bool wow64) {
  return (processor_architecture & 0xF) != 0 || wow64;
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

bool detect_os_type() {
  auto& info = system_info();
  os_version_record version;
  if (!platform::read_os_version(version)) return false;
  info.version = version;
  info.os_type = os_type_for(version, info.os_type);
  return true;
}

bool capture_system_snapshot() {
  auto& info = system_info();
  if (!detect_os_type()) {
    set_last_error(error_code::os_version_unknown);
    return false;
  }
  if (!platform::power_status_available()) {
    set_last_error(error_code::power_status_failed);
    return false;
  }
  info.oem_code_page = platform::oem_code_page();
  info.processor_architecture = platform::processor_architecture();
  info.module_path = platform::module_file_path();
  info.working_folder = platform::current_directory();
  // A root folder already ends with its separator; never double it.
  if (info.working_folder.empty() || info.working_folder.back() != platform::path_separator) {
    info.working_folder += platform::path_separator;
  }
  return true;
}

bool is_64bit_system() {
  const uint16_t architecture = system_info().processor_architecture;
  // Only an x86 process needs to ask whether it runs under WOW64.
  return is_64bit_for(architecture, (architecture & 0xF) == 0 && platform::is_wow64_process());
}

const char* os_code_name() { return os_code_name_for(system_info().os_type, is_64bit_system()); }

int32_t os_version_code() {
  const auto& version = system_info().version;
  return static_cast<int32_t>(version.major * 10 + version.minor);
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

int collect_system_summary() {
  const auto wmi = platform::connect_wmi();
  if (!wmi) return -1;
  collect_system_summary(*wmi, system_info().summary);
  return 0;
}

}  // namespace quillary
