#include "backup/restore.h"

#include "download/installation.h"
#include "download/package_extraction.h"
#include "platform/files.h"

namespace quillary {

int restore_archive(restore_request& request, const std::u16string& backup_folder, shell_i& shell) {
  const std::u16string archive_path = platform::join_path(backup_folder, request.archive);
  // By absolute paths: nothing else that resolves names against the current
  // directory (the catalogue, the installers) is disturbed meanwhile. The
  // folder is extracted afresh: an archive of that name may since hold a
  // newer backup, and the forced installer must get only what it holds,
  // not files an earlier restore left. A damaged archive installs nothing:
  // what came before the damage is not the whole package.
  const package_extraction extraction =
      extract_fresh(archive_path, extraction_folder(archive_path, backup_folder));
  int result = -1;
  if (extraction.status == extraction_status::extracted) {
    run_driver_installer(extraction.folder, true, shell);
    result = 0;
  }
  request.busy = 0;
  return result;
}

}  // namespace quillary
