#include "download/package_extraction.h"

#include <string>

#include "download/package_archive.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

// Tries at most this many names beside a folder before giving up.
constexpr int max_names = 100;

constexpr char mark_text[] =
    "Quillary made this folder when it unpacked a package, and replaces it when it unpacks that package "
    "again.\r\n";

bool is_ours(const std::u16string& path) {
  return platform::is_directory(path) && platform::file_exists(platform::join_path(path, extraction_mark_name));
}

// `stem`, then `stem (2)`, `stem (3)`, ...; with a word, `stem (word)`,
// `stem (word 2)`, ...
std::u16string numbered(const std::u16string& stem, const std::u16string& word, int n) {
  if (word.empty()) return n == 1 ? stem : stem + u" (" + ascii_to_utf16(std::to_string(n)) + u")";
  return stem + u" (" + word + (n == 1 ? u"" : u" " + ascii_to_utf16(std::to_string(n))) + u")";
}

// A new, marked folder beside `folder`, claimed by creating it: a name at
// which anything is already (another extraction running at this moment, a
// folder of the user's) is passed over. Empty when none can be made.
std::u16string claim_fresh_folder(const std::u16string& folder) {
  for (int n = 1; n <= max_names; ++n) {
    const std::u16string fresh = numbered(folder, u"new", n);
    if (!platform::create_new_folder(fresh)) {
      if (platform::file_exists(fresh)) continue;
      return {};  // no parent, no rights: no other name would do better
    }
    if (mark_extraction_folder(fresh)) return fresh;
    platform::remove_tree(fresh);
    return {};
  }
  return {};
}

// Where the extraction is to end up: `folder` or the first numbered name
// beside it at which there is nothing, or a folder an earlier extraction
// made. Anything else there (the package itself, when its name has no
// extension; a folder the user made) is never touched.
std::u16string place_for(const std::u16string& folder) {
  for (int n = 1; n <= max_names; ++n) {
    const std::u16string place = numbered(folder, u"", n);
    if (!platform::file_exists(place) || is_ours(place)) return place;
  }
  return {};
}

// Moves an earlier extraction aside and removes it; false when it cannot be
// moved (an installer may still have its files open).
bool clear_earlier_extraction(const std::u16string& place) {
  for (int n = 1; n <= max_names; ++n) {
    const std::u16string old = numbered(place, u"old", n);
    if (platform::file_exists(old)) continue;
    if (!platform::move_folder(place, old)) return false;
    platform::remove_tree(old);
    return true;
  }
  return false;
}

}  // namespace

bool mark_extraction_folder(const std::u16string& folder) {
  const std::u16string mark = platform::join_path(folder, extraction_mark_name);
  std::FILE* file = platform::open_file(mark, "wb");
  if (!file) return false;
  const bool written = std::fwrite(mark_text, 1, sizeof mark_text - 1, file) == sizeof mark_text - 1;
  if (std::fclose(file) != 0 || !written) return false;
  platform::hide_file(mark);
  return true;
}

package_extraction extract_fresh(const std::u16string& archive_path, const std::u16string& folder) {
  package_archive_c archive;
  if (!archive.open(archive_path)) return {extraction_status::not_an_archive, {}};
  const std::u16string place = place_for(folder);
  if (place.empty()) return {extraction_status::no_folder, {}};
  // The base folder (the download folder, the backup folder) may be new.
  if (const std::u16string base = platform::parent_folder(place); !base.empty()) platform::create_directories(base);
  const std::u16string fresh = claim_fresh_folder(place);
  if (fresh.empty()) return {extraction_status::no_folder, {}};
  const zip_extraction extraction = archive.extract_all(fresh);
  if (extraction.result.code == zip_failed) {
    platform::remove_tree(fresh);
    return {extraction_status::no_folder, {}};
  }
  if (!extraction.complete()) {
    platform::remove_tree(fresh);
    return {extraction_status::damaged, {}};
  }
  archive.close();

  // Into the place only now that the package came out whole; where that
  // cannot be, the installer works on the fresh folder itself.
  if (platform::file_exists(place) && !clear_earlier_extraction(place)) return {extraction_status::extracted, fresh};
  if (!platform::move_folder(fresh, place)) return {extraction_status::extracted, fresh};
  return {extraction_status::extracted, place};
}

}  // namespace quillary
