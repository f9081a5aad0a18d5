// Reads the names of a package archive and the contents of its INF files:
// zip archives here, cabinets through server/cab_archive.h.
#pragma once

#include <cstdint>
#include <string>

#include "server/archive_listing.h"

namespace quillary::server {

// Lists an archive and reads its INF files (names ending in ".inf" without
// regard to case). A file that begins with a cabinet's signature is read as
// a cabinet (server/cab_archive.h), any other as a zip archive, whatever its
// name says. Names flagged as UTF-8 are taken as such, others as
// Windows-1252; '\' separators become '/', doubled ones one. Names that
// would land outside the package's folder are refused as the client
// refuses them. False with a reason when the file is not a readable archive
// or an INF file in it is damaged.
bool read_archive(const std::string& file_path, archive_listing& out, std::string& reason,
                  uint64_t total_limit = max_inf_total);

}  // namespace quillary::server
