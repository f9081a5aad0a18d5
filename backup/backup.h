// Backups: each driver-store package the user ticked becomes a zip archive
// in the backup folder, recorded in the catalogue.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backup/backup_catalogue.h"
#include "backup/driver_store.h"

namespace quillary {

// The preferred archive of a package: its first device's driver
// description, blanks and every character a file name or the ANSI code page
// cannot hold turned into "-", ".zip" appended, in the backup folder. A
// description without a readable letter left gives way to the INF name.
std::u16string archive_name_for(const driver_package& package, const std::u16string& backup_folder);

// Writes every file below the package folder into the archive, named by its
// path inside the folder, and reads it back. 0, or -1 when the archive
// cannot be made, a file cannot be added (a backup must not silently miss a
// file), or the archive does not read back whole: then an earlier archive
// of that name stays as it was.
int archive_package_folder(const std::u16string& folder, const std::u16string& archive_path);

// How many entries the archive holds, each read back whole with its
// checksum; none when it cannot be opened or an entry does not read back.
std::optional<size_t> whole_archive_entries(const std::u16string& archive_path);
// Whether the archive holds `entries` entries, each of which reads back
// whole with its checksum.
bool archive_verified(const std::u16string& archive_path, size_t entries);

struct backup_context {
  driver_store_c& store;
  backup_catalogue_c& catalogue;
  std::u16string backup_folder;
  std::string today;  // YYYY-MM-DD
};

// The archive a backup of the package writes: the one of its own catalogue
// entry, else the preferred name made unique in the backup folder.
std::u16string archive_path_for(backup_context& context, const driver_package& package);

// Archives one package and records it, with the link of the package it
// makes way for when it is made before an installation: 0 or -1.
int backup_package(backup_context& context, size_t package_index, const std::string& made_way_for = {});

// For each ticked device in turn, the package that holds it. 0 when every
// one was backed up, -1 at the first failure (archives made before it stay).
int backup_worker(backup_context& context, const std::vector<const device_record*>& request);

}  // namespace quillary
