// Zip archives for driver packages and backups, over minizip and zlib.
//
// Paths are UTF-16 here; names inside archives stay the bytes they are, in
// the thread's ANSI code page (UTF-8 natively). Every operation answers with
// an outcome: done, or the code (zip_failed, or the library's own negative
// ZIP_ or UNZ_ code) and the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/outcome.h"

namespace quillary {

// The code of a zip operation's own failures (a file or folder that cannot
// be opened, read, written or made); the reason tells which.
constexpr int32_t zip_failed = -1;

// What an extraction did.
struct zip_extraction {
  // Done, or why the archive could not be walked (no archive open, the
  // folder not absolute or not made, the library's code of moving on).
  outcome result;
  // Files written completely whose checksum matched.
  size_t extracted = 0;
  // Entries skipped because they would land outside the folder.
  size_t skipped_unsafe = 0;
  // Whether a failing entry ended the extraction.
  bool stopped_early = false;

  // Whether every entry was written: the walk succeeded, nothing failed
  // and nothing was skipped as unsafe.
  bool complete() const { return result.ok() && !stopped_early && skipped_unsafe == 0; }
};

// What reading every entry of an archive found.
struct zip_reading {
  // Done, or why the archive could not be walked.
  outcome result;
  size_t entries = 0;  // entries read whole with the checksum they were written with
  // An entry could not be read whole, was encrypted or packed in a way we
  // do not decode, or did not give its checksum; or entries were missing.
  bool damaged = false;
  // The first damaged entry's name, for telling the user.
  std::u16string damaged_entry;

  bool complete() const { return result.ok() && !damaged; }
};

// Given each entry's name (as extraction decodes it) before its data is
// read: where its bytes go, or null when they are only to be checked.
using zip_entry_sink = std::function<std::function<bool(const char* data, size_t size)>(const std::u16string& name)>;

// Reads an archive and extracts it below a folder.
class unzip_archive_c {
 public:
  unzip_archive_c() = default;
  unzip_archive_c(const unzip_archive_c&) = delete;
  unzip_archive_c& operator=(const unzip_archive_c&) = delete;
  ~unzip_archive_c();  // closes

  // Fails when neither the path nor the path with ".zip" appended is an
  // archive.
  outcome open(const std::u16string& path);

  // Extracts every entry below `folder` (an absolute path of an existing or
  // creatable folder), keeping the entries' folders, never overwriting a
  // file that exists (unless `overwrite`), giving each file the entry's time.
  // The result fails with the library's error code of moving to the next
  // entry, or zip_failed when no archive is open, or `folder` is not
  // absolute or cannot be made. A failing entry (one that cannot be opened
  // or decoded, a file that cannot be created or written, a wrong checksum)
  // ends the extraction early without changing the result; its partly
  // written file is removed, and `stopped_early` tells. Entries whose names
  // would land outside `folder` (absolute names, drive letters, "..",
  // streams, device names) are skipped and counted.
  zip_extraction extract_all(const std::u16string& folder, bool without_folders = false, bool overwrite = false);

  // Reads every entry to its end and checks its checksum, writing nothing
  // (a sink may keep what it is given). Stops at the first damaged entry.
  zip_reading read_all(const zip_entry_sink& sink = nullptr);

  void close();

 private:
  enum class step { next, stop };
  step read_current(const zip_entry_sink& sink, char* buffer, zip_reading& reading);
  outcome extract_entries(const std::u16string& folder, bool without_folders, bool overwrite, zip_extraction& out);
  step extract_current(const std::u16string& folder, bool without_folders, bool overwrite, char* buffer,
                       zip_extraction& extraction);

  void* handle_ = nullptr;
};

// Writes an archive file by file.
class zip_archive_c {
 public:
  zip_archive_c() = default;
  zip_archive_c(const zip_archive_c&) = delete;
  zip_archive_c& operator=(const zip_archive_c&) = delete;
  ~zip_archive_c();  // closes

  // A new archive replacing any file at `path`; with `append`, adds to the
  // archive there.
  outcome create(const std::u16string& path, bool append = false);

  // Adds one file under `name_in_archive` (ANSI code page; leading "\" and
  // "/" dropped), or, when that is empty, under the source's file name part.
  // Fails with zip_failed when the source cannot be read or the entry
  // cannot be begun or written (the archive stays usable), or with the
  // library's error code of finishing the entry.
  outcome add_file(const std::u16string& source, const std::string& name_in_archive = "");

  // Fails when writing the central directory fails. Closed either way.
  outcome close();

 private:
  void* handle_ = nullptr;
  // The library's default deflate level; 0 would store.
  int level_ = -1;
};

// Creates a folder and its missing parents; "/" and "\" both separate, a
// trailing "/" is ignored. Fails when the path is empty or a parent cannot
// be made (zip_failed), or with UNZ_INTERNALERROR when there is no memory.
outcome make_directories(const std::u16string& path);

// Gives a file the creation and last-write time of a zip entry (DOS date in
// the high 16 bits, time in the low 16), read as local time. Natively only
// the modification time: Linux has no creation time to set.
outcome set_file_time(const std::u16string& path, uint32_t dos_date_time);

// The file's last-write time as a local DOS date and time (clamped to the
// years 1980 to 2107 that the format holds); fails when the file is not
// found.
outcome file_dos_time(const std::u16string& path, uint32_t& dos_date_time);

// zlib's CRC-32 of the file's contents, read in chunks of `buffer_size`.
// Fails on a read error or a missing file (crc is then 0).
outcome file_crc32(const std::u16string& path, uint32_t& crc, size_t buffer_size);

}  // namespace quillary
