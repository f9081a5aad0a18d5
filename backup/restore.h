// Restore: a backup archive is unpacked into a folder of its name beside it
// and the driver package installer is started on that folder, forced, so
// that it installs every package in it that fits the machine. A restore
// point comes first.
#pragma once

#include <atomic>
#include <string>

#include "download/installation.h"

namespace quillary {

struct restore_request {
  std::u16string archive;  // the archive's file name in the backup folder
  std::atomic<int32_t> busy{0};
  installer_system system;  // chooses the driver installer
  // Written by the worker; read once `busy` is clear.
  install_report report;
};

// 0 when the archive was unpacked whole into a fresh extraction folder and
// the installer started on it, -1 otherwise (nothing is started). The
// restore point, named after the archive, is asked for once the archive is
// unpacked, before the installer starts. Clears `busy`.
int restore_archive(restore_request& request, const std::u16string& backup_folder, shell_i& shell,
                    restore_point_batch_c& restore_points);

}  // namespace quillary
