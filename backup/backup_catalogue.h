// The backup catalogue, "backup.xml": per backup archive, when it was made
// and which devices it serves. An entry stays while its archive is in the
// backup folder, with the device data it was saved with, whether those
// devices are plugged in or not.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "devices/device_record.h"

namespace quillary {

// The catalogue's own copy of a device's values as backup.xml holds them
// (converted through the ANSI code page and cut to these capacities).
struct catalogue_device {
  std::u16string id;        // 200
  std::u16string desc;      // 1025
  std::u16string manu;      // 129
  std::u16string name;      // 260: the INF name
  std::u16string version;   // 32
  std::u16string date;      // 11
  std::u16string backup_date;  // set on load
  std::u16string archive;      // set on load
};

struct catalogue_entry {
  std::string file;  // the archive's file name, ANSI code page; the key
  std::string date;  // YYYY-MM-DD
  std::vector<catalogue_device> devices;
  // The links of the packages whose installation this backup was made
  // before (the drivers they replaced), oldest first; empty for a backup
  // the user asked for.
  std::vector<std::string> made_way_for;
};

// At most this many links of this length are kept per entry: a link is an
// address, and a backup makes way for a few packages at most.
constexpr size_t max_made_way_for = 32;
constexpr size_t max_link_bytes = 2048;

// Whether the catalogue device is in the device list (of the last scan),
// found by its ID.
bool is_present(const catalogue_device& device, const std::vector<device_record>& devices);

class backup_catalogue_c {
 public:
  // `file` is the catalogue; archives lie in `backup_folder`.
  backup_catalogue_c(std::u16string file, std::u16string backup_folder);

  // 0 when the catalogue was replaced from the file, -1 when the file is
  // missing or unusable (the catalogue stays as it was). A file that cannot
  // be read at all is moved aside (see set_aside_files).
  int load();
  // 0, or -1 when the file could not be written, or when it holds what this
  // catalogue has not read (it is never replaced then). The file is written
  // beside itself first and then put in place, so a failure never loses it.
  int save();
  // Records one archive (found by its file name) with the devices it
  // serves, dated today, into the catalogue as the file holds it now; saves.
  // A link it `made_way_for` joins those the entry had: backing up the same
  // driver again keeps what it was made before.
  int record_backup(const std::u16string& archive_path, const std::vector<const device_record*>& devices,
                    const std::string& today, const std::string& made_way_for = {});

  // The file name (without folder) under which the package of these
  // devices is backed up: the archive of its own entry, or else
  // `preferred_name` ("Name.zip"), with "-2", "-3", ... before the
  // extension while an entry or a file in the backup folder has that name.
  std::u16string archive_for_package(const std::vector<const device_record*>& package_devices,
                                     const std::u16string& preferred_name);

  std::vector<catalogue_entry> entries() const;
  // The entries made before the package of this link was installed, in
  // catalogue order.
  std::vector<catalogue_entry> entries_made_way_for(const std::string& link) const;
  // The unreadable catalogue files found here and moved aside (as
  // "backup.xml.unreadable", "backup.xml.unreadable-2", ...), for telling
  // the user; empty when none was.
  std::vector<std::u16string> set_aside_files() const;
  void set_backup_folder(std::u16string folder);

 private:
  int load_locked();
  int save_locked();
  bool may_replace_file_locked();
  bool set_aside_locked();
  bool read_entry(const void* element, catalogue_entry& out) const;
  const catalogue_entry* entry_of_package_locked(const std::vector<const device_record*>& package_devices) const;
  bool name_taken_locked(const std::u16string& name, const std::vector<std::u16string>& files_on_disk) const;

  std::u16string file_;
  std::u16string backup_folder_;
  std::vector<catalogue_entry> entries_;
  // The file's bytes as this catalogue last read or wrote them: only such a
  // file may be replaced.
  std::string known_bytes_;
  std::vector<std::u16string> set_aside_;
  // The backup worker records while a page may reload: one at a time.
  mutable std::mutex lock_;
};

// Today's local date as YYYY-MM-DD.
std::string local_date_text();

}  // namespace quillary
