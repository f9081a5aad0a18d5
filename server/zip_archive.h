// Reads the names of a zip archive and the contents of its INF files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillary::server {

struct archive_file {
  std::string path;  // UTF-8, with '/' between folders
  std::string data;  // the bytes; filled only for the files asked for
};

struct archive_listing {
  std::vector<std::string> paths;   // every file (folders left out)
  std::vector<archive_file> infs;   // the *.inf files with their bytes
  std::vector<std::string> unread;  // "path: why" of the INF files too large to read
  // Files the client would not extract (base/zip_entry_name.h), left out of
  // both lists: an INF file among them would give offers that cannot be
  // installed.
  std::vector<std::string> refused;
};

// Largest INF file read, and most bytes of INF files read from one archive
// altogether: without the second, an archive of many highly compressed INF
// files could fill the memory while the catalogue is indexed. INF files past
// either limit are listed but not read.
constexpr uint64_t max_inf_size = 8u << 20;
constexpr uint64_t max_inf_total = 64u << 20;

// Lists an archive and reads its INF files (names ending in ".inf" without
// regard to case). Names flagged as UTF-8 are taken as such, others as
// Windows-1252; '\' separators become '/', doubled ones one. Names that
// would land outside the package's folder are refused as the client
// refuses them. False with a reason when the file
// is not a readable zip archive or an INF file in it is damaged.
bool read_archive(const std::string& file_path, archive_listing& out, std::string& reason,
                  uint64_t total_limit = max_inf_total);

}  // namespace quillary::server
