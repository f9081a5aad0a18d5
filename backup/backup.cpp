#include "backup/backup.h"

#include "download/zip_archive.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

bool is_blank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Names Windows keeps for devices: "CON.zip" cannot be a file.
bool is_reserved_name(const std::u16string& name) {
  static constexpr const char16_t* reserved[] = {u"CON", u"PRN", u"AUX", u"NUL", u"COM1", u"COM2", u"COM3",
                                                 u"COM4", u"COM5", u"COM6", u"COM7", u"COM8", u"COM9", u"LPT1",
                                                 u"LPT2", u"LPT3", u"LPT4", u"LPT5", u"LPT6", u"LPT7", u"LPT8", u"LPT9"};
  for (const char16_t* r : reserved) {
    if (equal_ignore_case(name, r)) return true;
  }
  return false;
}

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
  if (name.empty() || is_reserved_name(name)) name += u"driver";
  return platform::join_path(backup_folder, name + u".zip");
}

int archive_package_folder(const std::u16string& folder, const std::u16string& archive_path) {
  zip_archive_c zip;
  if (zip.create(archive_path) != 0) return -1;
  std::vector<std::u16string> files;
  dir_walker_c walker;
  walker.open(folder, dir_walker_c::files);
  for (std::u16string path; walker.next(path);) files.push_back(path);
  for (const auto& path : files) {
    if (path.size() <= folder.size() + 1) {
      zip.close();
      return -1;
    }
    // The path inside the package folder, written with backslashes as the
    // system writes them.
    std::u16string name = path.substr(folder.size() + 1);
    for (auto& c : name) {
      if (c == u'/') c = u'\\';
    }
    zip.add_file(path, to_ansi(name));
    if (zip.last_result() != 0) {
      zip.close();
      return -1;
    }
  }
  return zip.close() == 0 ? 0 : -1;
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
