// The backup catalogue, "backup.xml": per backup archive, when it was made
// and which devices it serves. Only devices of the current device list are
// kept in it; archives missing from the backup folder drop out.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "devices/device_record.h"

namespace quillary {

struct catalogue_device {
  device_record* device = nullptr;  // the live record it was read for
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
};

class backup_catalogue_c {
 public:
  // `file` is the catalogue; archives lie in `backup_folder`; devices are
  // looked up in `devices` (the device list of the last scan).
  backup_catalogue_c(std::u16string file, std::u16string backup_folder, std::vector<device_record>& devices);

  // 0 when the catalogue was replaced from the file, -1 when the file is
  // missing or unusable (the catalogue stays as it was).
  int load();
  // 0, or -1 when the file could not be written. The file is written beside
  // itself first and then put in place, so a failure never loses it.
  int save();
  // Records one archive (found by its file name) with the devices it
  // serves, dated today; saves.
  int record_backup(const std::u16string& archive_path, const std::vector<device_record*>& devices,
                    const std::string& today);

  std::vector<catalogue_entry> entries() const;
  void set_backup_folder(std::u16string folder);

 private:
  int save_locked();
  bool read_entry(const void* element, catalogue_entry& out) const;

  std::u16string file_;
  std::u16string backup_folder_;
  std::vector<device_record>& devices_;
  std::vector<catalogue_entry> entries_;
  // The backup worker records while a page may reload: one at a time.
  mutable std::mutex lock_;
};

// Today's local date as YYYY-MM-DD.
std::string local_date_text();

}  // namespace quillary
