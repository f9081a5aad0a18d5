#include "backup/restore.h"

#include "download/installation.h"
#include "download/zip_archive.h"
#include "platform/files.h"

namespace quillary {

int restore_archive(restore_request& request, const std::u16string& backup_folder, shell_i& shell) {
  const std::u16string archive_path = platform::join_path(backup_folder, request.archive);
  const std::u16string folder = extraction_folder(archive_path, backup_folder);
  int result = -1;
  unzip_archive_c archive;
  // By absolute paths: nothing else that resolves names against the current
  // directory (the catalogue, the installers) is disturbed meanwhile.
  // The archive's files replace those an earlier restore left in the
  // folder: an archive of that name may since hold a newer backup, and the
  // installer must get what it holds. A damaged archive installs nothing:
  // what came before the damage is not the whole package.
  if (archive.open(archive_path) == 0 && archive.extract_all(folder, false, true) == 0 &&
      !archive.stopped_early()) {
    run_driver_installer(folder, true, shell);
    result = 0;
  }
  archive.close();
  request.busy = 0;
  return result;
}

}  // namespace quillary
