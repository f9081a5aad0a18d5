#include "backup/restore.h"

#include "download/package_extraction.h"
#include "download/restore_point_batch.h"
#include "platform/files.h"

namespace quillary {

int restore_archive(restore_request& request, const std::u16string& backup_folder, shell_i& shell,
                    restore_point_batch_c& restore_points) {
  const std::u16string archive_path = platform::join_path(backup_folder, request.archive);
  // By absolute paths: nothing else that resolves names against the current
  // directory (the catalogue, the installers) is disturbed meanwhile. The
  // folder is extracted afresh: an archive of that name may since hold a
  // newer backup, and the forced installer must get only what it holds,
  // not files an earlier restore left. A damaged archive installs nothing:
  // what came before the damage is not the whole package.
  const std::u16string folder = extraction_folder(archive_path, backup_folder);
  const package_extraction extraction = extract_fresh(archive_path, folder);
  int result = -1;
  request.report = install_report{};
  if (extraction.status == extraction_status::extracted) {
    request.report.folder = extraction.folder;
    request.report.restore_point = restore_points.before_installing(platform::file_name_part(folder));
    request.report.driver_installer_chosen = true;
    request.report.installer = run_driver_installer(extraction.folder, true, shell, request.system);
    result = 0;
  }
  request.busy = 0;
  return result;
}

}  // namespace quillary
