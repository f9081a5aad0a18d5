// Restore: a backup archive is unpacked into a folder of its name beside it
// and the driver package installer is started on that folder, forced, so
// that it installs every package in it that fits the machine.
#pragma once

#include <atomic>
#include <string>

namespace quillary {

class shell_i;

struct restore_request {
  std::u16string archive;  // the archive's file name in the backup folder
  std::atomic<int32_t> busy{0};
};

// 0 when the archive was unpacked whole into a fresh extraction folder and
// the installer started on it, -1 otherwise (nothing is started). Clears
// `busy`.
int restore_archive(restore_request& request, const std::u16string& backup_folder, shell_i& shell);

}  // namespace quillary
