#include "backup/backup.h"

#include <algorithm>

#include "download/zip_archive.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

bool is_blank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

std::u16string archive_name_for(const driver_package& package, const std::u16string& backup_folder) {
  std::u16string name = package.devices.front()->driver_description;
  while (!name.empty() && is_blank(name.back())) name.pop_back();
  size_t lead = 0;
  while (lead < name.size() && is_blank(name[lead])) ++lead;
  name.erase(0, lead);
  for (auto& c : name) {
    // Besides the blank, every character a Windows file name cannot hold,
    // the quotation mark and control characters included.
    if (c == u' ' || c < 0x20 || std::u16string_view(u"\\/:*?<>|\"").find(c) != std::u16string_view::npos) c = u'-';
  }
  // "CON.zip" or "CON.x.zip" cannot be a file: "driver" goes after the
  // device's name, before any dot.
  if (name.empty() || platform::is_device_name(name)) name.insert(std::min(name.find(u'.'), name.size()), u"driver");
  return platform::join_path(backup_folder, name + u".zip");
}

namespace {

// Writes every file below `folder` into a new archive at `path`.
int write_package_archive(const std::u16string& folder, const std::u16string& path) {
  zip_archive_c zip;
  if (zip.create(path) != 0) return -1;
  std::vector<std::u16string> files;
  dir_walker_c walker;
  walker.open(folder, dir_walker_c::files);
  for (std::u16string file; walker.next(file);) files.push_back(file);
  for (const auto& file : files) {
    if (file.size() <= folder.size() + 1) {
      zip.close();
      return -1;
    }
    // The path inside the package folder, written with backslashes as the
    // system writes them.
    std::u16string name = file.substr(folder.size() + 1);
    for (auto& c : name) {
      if (c == u'/') c = u'\\';
    }
    zip.add_file(file, to_ansi(name));
    if (zip.last_result() != 0) {
      zip.close();
      return -1;
    }
  }
  return zip.close() == 0 ? 0 : -1;
}

}  // namespace

int archive_package_folder(const std::u16string& folder, const std::u16string& archive_path) {
  // A package folder that is gone would give an empty archive that passes
  // for a backup.
  if (!platform::is_directory(folder)) return -1;
  // The archive is made beside its final name and replaces it only when
  // whole, so a failure keeps the earlier backup of the same name.
  const std::u16string partial = archive_path + u".tmp";
  if (write_package_archive(folder, partial) != 0 || !platform::replace_file(partial, archive_path)) {
    platform::remove_file(partial);
    return -1;
  }
  return 0;
}

int backup_package(backup_context& context, size_t package_index) {
  const auto& package = context.store.packages().at(package_index);
  const std::u16string folder = platform::join_path(context.store.paths().store_root, package.folder);
  const std::u16string archive = archive_name_for(package, context.backup_folder);
  if (archive_package_folder(folder, archive) != 0) return -1;
  return context.catalogue.record_backup(archive, package.devices, context.today);
}

int backup_worker(backup_context& context, const std::vector<device_record*>& request) {
  for (device_record* device : request) {
    const int index = context.store.package_index_of(device);
    if (index < 0 || backup_package(context, static_cast<size_t>(index)) != 0) return -1;
  }
  return 0;
}

}  // namespace quillary
