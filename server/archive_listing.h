// What the catalogue learns of a package archive, whichever its format (zip
// or cabinet): its files' names and the bytes of its INF files, with the
// names the client would refuse and the INF files too large to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/zip_entry_name.h"

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

// A file's name (decoded to UTF-8) as the client's extraction places it: for
// a file, its parts joined with '/'; a refused name is given as it stands,
// '\' made '/', for the warning.
zip_entry_kind listed_name(const std::string& decoded, std::string& name);

// Whether the name ends in ".inf", letter case ignored.
bool is_inf_name(const std::string& name);

// Which INF files of one archive are read: each at most max_inf_size, all
// together at most the archive's total limit.
class inf_budget_c {
 public:
  explicit inf_budget_c(uint64_t total_limit) : total_limit_(total_limit) {}
  // Empty when an INF file of `size` bytes may be read; else the line for
  // archive_listing::unread.
  std::string refusal(const std::string& name, uint64_t size) const;
  // Counts an INF file read.
  void spend(uint64_t size) { spent_ += size; }

 private:
  uint64_t total_limit_;
  uint64_t spent_ = 0;
};

}  // namespace quillary::server
