#include "download/package_devices.h"

#include "base/ascii_text.h"
#include "base/inf_text.h"
#include "download/package_archive.h"
#include "platform/text.h"

namespace quillary {
namespace {

void add_models(const inf_section& section, std::set<std::string>& ids) {
  // A model line: description = install section, hardware ID, compatible IDs...
  for (const auto& line : section.lines) {
    for (size_t i = 1; i < line.fields.size(); ++i) {
      if (!line.fields[i].empty()) ids.insert(to_upper_ascii(line.fields[i]));
    }
  }
}

std::u16string with_backslashes(std::u16string path) {
  for (auto& c : path) {
    if (c == u'/') c = u'\\';
  }
  return path;
}

bool is_inf_name(const std::u16string& name) {
  return name.size() > 4 && equal_ignore_case(std::u16string_view(name).substr(name.size() - 4), u".inf");
}

bool named_in(const std::u16string& name, const std::set<std::u16string>& inf_paths) {
  if (inf_paths.empty()) return is_inf_name(name);
  const std::u16string wanted = with_backslashes(name);
  for (const auto& path : inf_paths) {
    if (equal_ignore_case(with_backslashes(path), wanted)) return true;
  }
  return false;
}

}  // namespace

std::set<std::string> inf_model_ids(const inf_file_c& inf) {
  std::set<std::string> ids;
  const inf_section* manufacturers = inf.find_section("Manufacturer");
  if (!manufacturers) return ids;
  for (const auto& line : manufacturers->lines) {
    if (line.fields.empty() || line.fields[0].empty()) continue;
    const std::string& base = line.fields[0];
    if (const inf_section* section = inf.find_section(base)) add_models(*section, ids);
    for (size_t i = 1; i < line.fields.size(); ++i) {
      if (const inf_section* section = inf.find_section(base + "." + line.fields[i])) add_models(*section, ids);
    }
  }
  return ids;
}

package_infs read_package_infs(const std::u16string& package, const std::set<std::u16string>& inf_paths,
                               std::vector<std::string>& texts) {
  texts.clear();
  package_archive_c archive;
  if (!archive.open(package)) return package_infs::not_an_archive;
  std::vector<std::string> raw;
  bool too_large = false;
  const zip_reading reading = archive.read_all([&](const std::u16string& name) -> std::function<bool(const char*, size_t)> {
    if (!named_in(name, inf_paths)) return nullptr;
    raw.emplace_back();
    const size_t at = raw.size() - 1;  // by place: the list grows meanwhile
    return [&raw, at, &too_large](const char* data, size_t size) {
      if (raw[at].size() + size > max_package_inf_bytes) {
        too_large = true;
        return false;
      }
      raw[at].append(data, size);
      return true;
    };
  });
  if (too_large) return package_infs::too_large;
  if (!reading.complete()) return package_infs::damaged;
  for (const auto& bytes : raw) texts.push_back(decode_inf_bytes(bytes));
  return package_infs::read;
}

std::vector<device_record> devices_for_package(const std::vector<std::string>& inf_texts,
                                               const std::vector<device_record>& devices) {
  std::set<std::string> ids;
  for (const auto& text : inf_texts) {
    inf_file_c inf;
    std::string reason;
    if (!inf.parse(text, reason)) continue;
    ids.merge(inf_model_ids(inf));
  }
  std::vector<device_record> matched;
  for (const auto& device : devices) {
    const auto named = [&](const std::vector<std::u16string>& list) {
      for (const auto& id : list) {
        if (ids.count(to_upper_ascii(utf16_to_utf8(id)))) return true;
      }
      return false;
    };
    if (named(device.hardware_ids) || named(device.compatible_ids)) matched.push_back(device);
  }
  return matched;
}

}  // namespace quillary
