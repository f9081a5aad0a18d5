// A driver package's archive, whichever format it is in: a zip archive or a
// cabinet (.cab), told by the file's first bytes (base/archive_format.h),
// not by its name. The installation extracts packages and reads their INF
// files through this one door, so that both formats get the same checks.
#pragma once

#include <string>

#include "base/archive_format.h"
#include "download/zip_archive.h"

namespace quillary {

class package_archive_c {
 public:
  // A cabinet when the file begins with a cabinet's signature ("MSCF");
  // otherwise a zip archive as unzip_archive_c::open takes one (which finds
  // an archive after a prefix too, and tries the path with ".zip"
  // appended). Fails when it is neither.
  outcome open(const std::u16string& path);

  // What open() found: zip or cabinet; unknown before it, or after it failed.
  archive_format format() const { return format_; }

  // As unzip_archive_c::extract_all (download/cab_archive.h for cabinets),
  // keeping the archive's folders and never overwriting.
  zip_extraction extract_all(const std::u16string& folder);

  // As unzip_archive_c::read_all.
  zip_reading read_all(const zip_entry_sink& sink = nullptr);

  void close();

 private:
  archive_format format_ = archive_format::unknown;
  unzip_archive_c zip_;
  std::u16string cabinet_path_;
};

}  // namespace quillary
