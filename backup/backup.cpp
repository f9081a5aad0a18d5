#include "backup/backup.h"

#include <algorithm>

#include "download/zip_archive.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

bool is_blank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Longer descriptions are cut: the name, a "-2" and the backup folder must
// fit in a Windows path, and the catalogue keeps at most 259 bytes of it.
constexpr size_t longest_name = 100;

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  return text;
}

// Besides the blank, every character a Windows file name cannot hold, the
// quotation mark and control characters included.
bool is_forbidden_in_file_names(char16_t c) {
  return c == u' ' || c < 0x20 || std::u16string_view(u"\\/:*?<>|\"").find(c) != std::u16string_view::npos;
}

// The catalogue holds names in the ANSI code page: a character that does
// not come back the same (one the code page lacks, or maps to a look-alike)
// would leave the catalogue naming a file that is not there.
bool survives_ansi(std::u16string_view character) { return from_ansi(to_ansi(character)) == character; }

size_t character_length(std::u16string_view text, size_t at) {
  const bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
                    text[at + 1] <= 0xDFFF;
  return pair ? 2 : 1;
}

// The text with every character a file name or the catalogue cannot hold
// turned into "-", cut to the longest name. Dashes at the ends say nothing
// (and a name that begins with one reads as an option on command lines).
std::u16string file_name_text(std::u16string_view text) {
  text = trimmed(text);
  std::u16string name;
  for (size_t at = 0; at < text.size() && name.size() < longest_name;) {
    const std::u16string_view character = text.substr(at, character_length(text, at));
    const bool kept = !is_forbidden_in_file_names(character[0]) && survives_ansi(character);
    if (kept && name.size() + character.size() > longest_name) break;
    if (kept) {
      name += character;
    } else {
      name += u'-';
    }
    at += character.size();
  }
  name.erase(0, name.find_first_not_of(u'-'));
  name.erase(name.find_last_not_of(u'-') + 1);
  return name;
}

// Whether a name says anything: it holds a letter or a digit. A character
// beyond ASCII that is left counts: the code page holds it, and it is
// most likely a letter.
bool is_readable(std::u16string_view name) {
  return std::any_of(name.begin(), name.end(), [](char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c >= 0x80;
  });
}

std::u16string without_extension(const std::u16string& file) { return file.substr(0, file.rfind(u'.')); }

}  // namespace

std::u16string archive_name_for(const driver_package& package, const std::u16string& backup_folder) {
  const device_record& first = *package.devices.front();
  std::u16string name = file_name_text(first.driver_description);
  // A description of letters the code page lacks: the INF name (oem12).
  if (!is_readable(name)) name = file_name_text(without_extension(platform::file_name_part(first.inf_path)));
  if (!is_readable(name)) name.clear();
  // "CON.zip" or "CON.x.zip" cannot be a file: "driver" goes after the
  // device's name, before any dot.
  if (name.empty() || platform::is_device_name(name)) name.insert(std::min(name.find(u'.'), name.size()), u"driver");
  return platform::join_path(backup_folder, name + u".zip");
}

std::u16string archive_path_for(backup_context& context, const driver_package& package) {
  const std::u16string preferred = platform::file_name_part(archive_name_for(package, context.backup_folder));
  return platform::join_path(context.backup_folder, context.catalogue.archive_for_package(package.devices, preferred));
}

namespace {

// Writes every file below `folder` into a new archive at `path`; the
// number of files, or -1.
int write_package_archive(const std::u16string& folder, const std::u16string& path) {
  zip_archive_c zip;
  if (!zip.create(path)) return -1;
  std::vector<std::u16string> files;
  dir_walker_c walker;
  walker.open(folder, dir_walker_c::files);
  for (std::u16string file; walker.next(file);) files.push_back(file);
  for (const auto& file : files) {
    if (file.size() <= folder.size() + 1) {
      (void)zip.close();
      return -1;
    }
    // The path inside the package folder, written with backslashes as the
    // system writes them.
    std::u16string name = file.substr(folder.size() + 1);
    for (auto& c : name) {
      if (c == u'/') c = u'\\';
    }
    if (!zip.add_file(file, to_ansi(name))) {
      (void)zip.close();
      return -1;
    }
  }
  return zip.close() ? static_cast<int>(files.size()) : -1;
}

}  // namespace

std::optional<size_t> whole_archive_entries(const std::u16string& archive_path) {
  unzip_archive_c archive;
  if (!archive.open(archive_path)) return std::nullopt;
  const zip_reading reading = archive.read_all();
  if (!reading.complete()) return std::nullopt;
  return reading.entries;
}

bool archive_verified(const std::u16string& archive_path, size_t entries) {
  return whole_archive_entries(archive_path) == entries;
}

int archive_package_folder(const std::u16string& folder, const std::u16string& archive_path) {
  // A package folder that is gone would give an empty archive that passes
  // for a backup.
  if (!platform::is_directory(folder)) return -1;
  // The archive is made beside its final name and replaces it only when
  // whole, so a failure keeps the earlier backup of the same name.
  // It is read back whole before it counts: a backup that cannot be
  // restored is worse than none, as it is trusted.
  const std::u16string partial = archive_path + u".tmp";
  const int files = write_package_archive(folder, partial);
  if (files < 0 || !archive_verified(partial, static_cast<size_t>(files)) ||
      !platform::replace_file(partial, archive_path)) {
    platform::remove_file(partial);
    return -1;
  }
  return 0;
}

int backup_package(backup_context& context, size_t package_index, const std::string& made_way_for) {
  const auto& package = context.store.packages().at(package_index);
  const std::u16string folder = platform::join_path(context.store.paths().store_root, package.folder);
  const std::u16string archive = archive_path_for(context, package);
  if (archive_package_folder(folder, archive) != 0) return -1;
  return context.catalogue.record_backup(archive, package.devices, context.today, made_way_for);
}

int backup_worker(backup_context& context, const std::vector<const device_record*>& request) {
  for (const device_record* device : request) {
    const int index = context.store.package_index_of(device);
    if (index < 0 || backup_package(context, static_cast<size_t>(index)) != 0) return -1;
  }
  return 0;
}

}  // namespace quillary
