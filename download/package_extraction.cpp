#include "download/package_extraction.h"

#include "download/zip_archive.h"
#include "platform/files.h"

namespace quillary {
namespace {

// Beside the folder, under names no extraction folder gets: package files
// are named by digits, backup archives hold no blanks in their names.
std::u16string fresh_folder_for(const std::u16string& folder) { return folder + u" (new)"; }
std::u16string old_folder_for(const std::u16string& folder) { return folder + u" (old)"; }

}  // namespace

package_extraction extract_fresh(const std::u16string& archive_path, const std::u16string& folder) {
  unzip_archive_c archive;
  if (archive.open(archive_path) != 0) return {extraction_status::not_an_archive, {}};
  const std::u16string fresh = fresh_folder_for(folder);
  // What a run that ended half-way left.
  platform::remove_tree(fresh);
  if (archive.extract_all(fresh) == -1) return {extraction_status::not_an_archive, {}};
  if (!archive.complete()) {
    platform::remove_tree(fresh);
    return {extraction_status::damaged, {}};
  }
  archive.close();

  if (platform::file_exists(folder)) {
    const std::u16string old = old_folder_for(folder);
    platform::remove_tree(old);
    if (!platform::move_folder(folder, old)) return {extraction_status::extracted, fresh};
    platform::remove_tree(old);
  }
  if (!platform::move_folder(fresh, folder)) return {extraction_status::extracted, fresh};
  return {extraction_status::extracted, folder};
}

}  // namespace quillary
