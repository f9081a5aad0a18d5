// Extraction of a driver package or a backup archive for an installer: the
// installer must see exactly the archive's files. Extraction never
// overwrites, so it always goes into a fresh folder, which then takes the
// place of what an earlier extraction left; and a package that does not
// come out whole is not handed on at all.
#pragma once

#include <string>

namespace quillary {

enum class extraction_status {
  extracted,
  not_an_archive,
  // An entry could not be read, decoded or written, or its name would land
  // outside the folder: what came out is not the whole package.
  damaged,
};

struct package_extraction {
  extraction_status status = extraction_status::not_an_archive;
  // Where the package's files are, when extracted: `folder`, or, when an
  // earlier extraction there cannot be moved away (an installer still has
  // its files open), the fresh folder beside it.
  std::u16string folder;
};

// Extracts the archive into a fresh folder that takes the place of `folder`
// (an absolute path). Leaves nothing of a damaged package behind.
package_extraction extract_fresh(const std::u16string& archive_path, const std::u16string& folder);

}  // namespace quillary
