// Reads the names of a cabinet package (.cab) and the contents of its INF
// files, through the system's cabinet reader (platform/cabinet.h: libmspack
// here), into the same listing as a zip archive gives.
#pragma once

#include <cstdint>
#include <string>

#include "server/archive_listing.h"

namespace quillary::server {

// As read_archive (server/zip_archive.h) for a cabinet: names marked UTF-8
// are taken as such, others as Windows-1252; '\' becomes '/'; refused names,
// and INF files past the limits, as there. False with a reason when the
// file is no cabinet, one of a set of several (it cannot be read whole on
// its own), its directory is damaged, or an INF file in it does not read
// back whole.
bool read_cabinet_archive(const std::string& file_path, archive_listing& out, std::string& reason,
                          uint64_t total_limit = max_inf_total);

}  // namespace quillary::server
