// The native build has no WMI. It answers the system summary's queries from
// the Linux host's own files, so the summary logic runs unchanged; a class or
// property it does not know is a query that cannot be run.
#include "platform/wmi.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/ascii_text.h"
#include "platform/text.h"

namespace quillary::platform {
namespace {

// The files' values may stand in quotes (os-release), which go with the
// blanks.
std::string trim(std::string_view text) { return std::string(trim_ascii(text, " \t\r\n\"")); }

std::string first_line(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return trim(line);
}

// The value after "key<sep>" on the first line of `file` that starts with key.
std::string field(const char* file, const std::string& key, char separator) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, key.size(), key) != 0) continue;
    const auto at = line.find(separator, key.size());
    if (at != std::string::npos && trim(line.substr(key.size(), at - key.size())).empty()) {
      return trim(line.substr(at + 1));
    }
  }
  return {};
}

std::vector<std::string> disk_models() {
  std::vector<std::string> models;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", error)) {
    const auto model = first_line(entry.path() / "device" / "model");
    if (!model.empty()) models.push_back(model);
  }
  return models;
}

// False for a class or property the host cannot answer.
bool values_of(const std::u16string& wmi_class, const std::u16string& property,
               std::vector<std::string>& values) {
  auto is = [&](const char16_t* c, const char16_t* p) {
    return equal_ignore_case(wmi_class, c) && equal_ignore_case(property, p);
  };
  auto add = [&](std::string value) {
    if (!value.empty()) values.push_back(std::move(value));
  };
  if (is(u"Win32_Processor", u"name")) {
    add(field("/proc/cpuinfo", "model name", ':'));
  } else if (is(u"Win32_OperatingSystem", u"Caption")) {
    add(field("/etc/os-release", "PRETTY_NAME", '='));
  } else if (is(u"Win32_OperatingSystem", u"BuildNumber")) {
    utsname name{};
    if (uname(&name) == 0) add(name.release);
  } else if (is(u"Win32_OperatingSystem", u"CSDVersion")) {
    // Linux has no service packs: the property is null.
  } else if (is(u"Win32_PhysicalMemory", u"Capacity")) {
    const auto kib = field("/proc/meminfo", "MemTotal", ':');
    if (!kib.empty()) add(std::to_string(std::strtoull(kib.c_str(), nullptr, 10) * 1024));
  } else if (is(u"Win32_DiskDrive", u"Model")) {
    for (auto& model : disk_models()) add(std::move(model));
  } else if (is(u"Win32_DisplayConfiguration", u"Caption")) {
    add(first_line("/sys/class/graphics/fb0/name"));
  } else if (is(u"Win32_SoundDevice", u"Description")) {
    const auto card = first_line("/proc/asound/cards");
    const auto at = card.find(" - ");
    if (at != std::string::npos) add(card.substr(at + 3));
  } else if (is(u"Win32_ComputerSystem", u"Model")) {
    add(first_line("/sys/class/dmi/id/product_name"));
  } else {
    return false;
  }
  return true;
}

class host_connection_c : public wmi_connection_i {
 public:
  int for_each_value(const std::u16string& query, const std::u16string& property,
                     const std::function<bool(const std::u16string&)>& visit) override {
    // Queries have the form "SELECT * FROM <class>".
    const auto from = query.rfind(u" FROM ");
    if (from == std::u16string::npos) return -1;
    std::vector<std::string> values;
    if (!values_of(query.substr(from + 6), property, values)) return -1;
    for (const auto& value : values) {
      if (!visit(utf8_to_utf16(value))) break;
    }
    return 0;
  }
};

}  // namespace

wmi_thread_scope_c::wmi_thread_scope_c() = default;
wmi_thread_scope_c::~wmi_thread_scope_c() = default;

std::unique_ptr<wmi_connection_i> connect_wmi(const std::u16string& name_space) {
  if (!equal_ignore_case(name_space, u"ROOT\\CIMV2")) return nullptr;
  return std::make_unique<host_connection_c>();
}

}  // namespace quillary::platform
