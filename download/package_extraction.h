// Extraction of a driver package (a zip archive or a cabinet, told by its
// first bytes: download/package_archive.h) or a backup archive for an
// installer: the installer must see exactly the archive's files.
// Extraction never overwrites, so it always goes into a fresh folder, which
// then takes the place of what an earlier extraction left; and a package
// that does not come out whole is not handed on at all.
//
// An extraction removes or replaces only what an extraction made: every
// folder it makes carries a mark (a small hidden file), and a folder of
// the same name without it (one the user made with "Extract all", say, or
// the package itself when its name has no extension) stays untouched while
// the extraction takes the next free name beside it ("NAME (2)", ...).
#pragma once

#include <string>

namespace quillary {

enum class extraction_status {
  extracted,
  not_an_archive,
  // An entry could not be read, decoded or written, or its name would land
  // outside the folder: what came out is not the whole package.
  damaged,
  // No folder could be made for it (no room, no rights, every name taken).
  no_folder,
};

// The mark's file name inside a folder an extraction made.
inline constexpr char16_t extraction_mark_name[] = u".quillary-extraction";
// Puts the mark into a folder; false when it cannot be written.
bool mark_extraction_folder(const std::u16string& folder);

struct package_extraction {
  extraction_status status = extraction_status::not_an_archive;
  // Where the package's files are, when extracted: `folder`, or, when an
  // earlier extraction there cannot be moved away (an installer still has
  // its files open), the fresh folder beside it.
  std::u16string folder;
};

// Extracts the archive into a fresh folder that takes the place of `folder`
// (an absolute path) or, when something not made by an extraction is
// there, of the first numbered name beside it that is free or an
// extraction's. Leaves nothing of a damaged package behind.
package_extraction extract_fresh(const std::u16string& archive_path, const std::u16string& folder);

}  // namespace quillary
