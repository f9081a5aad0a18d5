#include "backup/driver_store.h"

#include <algorithm>

#include "base/md5.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

bool starts_with_ignoring_case(const std::u16string& text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && equal_ignore_case(std::u16string_view(text).substr(0, prefix.size()), prefix);
}

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

int md5_file_hex(const std::u16string& path, std::string& out) {
  std::FILE* file = platform::open_file(path, "rb");
  if (!file) return -1;
  md5_c md5;
  char block[1024];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) md5.update(block, got);
  std::fclose(file);
  out = to_hex(md5.finish());
  return 0;
}

int store_folder_name(const std::u16string& store_root, const std::u16string& store_path, std::u16string& out) {
  if (!starts_with_ignoring_case(store_path, store_root) || store_path.size() <= store_root.size() + 1) return -1;
  const std::u16string rest = store_path.substr(store_root.size() + 1);
  size_t cut = 0;
  while (cut < rest.size() && !is_separator(rest[cut])) ++cut;
  // An empty name (a doubled separator) would make the whole store one package.
  if (cut == 0) return -1;
  out = rest.substr(0, cut);
  return 0;
}

void dir_walker_c::open(const std::u16string& root, mode what) {
  stack_.clear();
  mode_ = what;
  stack_.push_back({root, platform::folder_entries(root), 0});
}

bool dir_walker_c::next(std::u16string& path) {
  while (!stack_.empty()) {
    frame& top = stack_.back();
    if (top.at >= top.names.size()) {
      stack_.pop_back();
      continue;
    }
    const std::u16string& name = top.names[top.at++];
    if (name.empty() || name[0] == u'.') continue;
    path = platform::join_path(top.folder, name);
    const bool folder = platform::is_directory(path);
    // The folder's own contents come next, before the rest of its parent.
    if (folder) stack_.push_back({path, platform::folder_entries(path), 0});
    if (mode_ == both || (mode_ == directories) == folder) return true;
  }
  return false;
}

driver_store_c::driver_store_c(layout paths, store_lookup system_lookup)
    : paths_(std::move(paths)), system_lookup_(std::move(system_lookup)) {}

bool driver_store_c::locate_by_digest(const std::u16string& inf_name, std::u16string& store_path) {
  if (!digests_built_) {
    // Every INF of the store by the digest of its bytes; a later one of the
    // same digest wins.
    dir_walker_c walker;
    walker.open(paths_.store_root, dir_walker_c::files);
    for (std::u16string path; walker.next(path);) {
      if (path.size() <= 4 || !equal_ignore_case(std::u16string_view(path).substr(path.size() - 4), u".inf")) continue;
      std::string digest;
      md5_file_hex(path, digest);  // an unreadable file goes under the empty digest
      digests_[digest] = path;
    }
    digests_built_ = true;
  }
  std::string digest;
  if (md5_file_hex(platform::join_path(paths_.inf_directory, inf_name), digest) != 0) return false;
  const auto it = digests_.find(digest);
  if (it == digests_.end()) return false;
  store_path = it->second;
  return true;
}

bool driver_store_c::locate(const std::u16string& inf_name, std::u16string& store_path) {
  if (paths_.os_version_code >= 60 && system_lookup_) {
    switch (system_lookup_(inf_name, store_path)) {
      case lookup_result::found: return true;
      case lookup_result::not_found: return false;
      case lookup_result::unavailable: break;
    }
  }
  return locate_by_digest(inf_name, store_path);
}

void driver_store_c::collect_driver_packages(const std::vector<device_record>& devices) {
  std::vector<const device_record*> records;
  records.reserve(devices.size());
  for (const auto& device : devices) records.push_back(&device);
  collect_driver_packages(records);
}

void driver_store_c::collect_driver_packages(const std::vector<const device_record*>& devices) {
  packages_.clear();
  for (const device_record* record : devices) {
    const device_record& device = *record;
    if (!device.has_driver) continue;
    const bool inbox = !starts_with_ignoring_case(device.inf_path, u"oem");
    // Before Vista only vendor drivers have a store copy worth keeping.
    if (paths_.os_version_code < 60 && inbox) continue;
    std::u16string store_path, folder;
    if (!locate(device.inf_path, store_path) || store_folder_name(paths_.store_root, store_path, folder) != 0) {
      continue;
    }
    auto same = std::find_if(packages_.begin(), packages_.end(),
                             [&](const driver_package& p) { return equal_ignore_case(p.folder, folder); });
    if (same != packages_.end()) {
      same->devices.push_back(&device);
    } else {
      packages_.push_back({inbox, folder, {&device}});
    }
  }
}

int driver_store_c::package_index_of(const device_record* device) const {
  if (!device) return -1;
  for (size_t i = 0; i < packages_.size(); ++i) {
    const auto& list = packages_[i].devices;
    if (std::find(list.begin(), list.end(), device) != list.end()) return static_cast<int>(i);
  }
  return -1;
}

driver_store_c::layout store_layout(const std::u16string& system_root, int32_t os_version_code) {
  const auto below = [&](const char16_t* relative) {
    return platform::join_path(system_root, platform::native_separators(relative));
  };
  return {below(u"inf"),
          below(os_version_code >= 60 ? u"System32\\DriverStore\\FileRepository" : u"system32\\DRVSTORE"),
          os_version_code};
}

}  // namespace quillary
