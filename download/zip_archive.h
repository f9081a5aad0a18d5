// Zip archives for driver packages and backups, over minizip and zlib.
//
// Paths are UTF-16 here; names inside archives stay the bytes they are, in
// the thread's ANSI code page (UTF-8 natively). Every operation answers with
// a plain integer, 0 for success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillary {

// Reads an archive and extracts it below a folder.
class unzip_archive_c {
 public:
  unzip_archive_c() = default;
  unzip_archive_c(const unzip_archive_c&) = delete;
  unzip_archive_c& operator=(const unzip_archive_c&) = delete;
  ~unzip_archive_c();  // closes

  // 0, or -1 when neither the path nor the path with ".zip" appended is an
  // archive.
  int open(const std::u16string& path);

  // Extracts every entry below `folder` (an absolute path of an existing or
  // creatable folder), keeping the entries' folders, never overwriting a
  // file that exists (unless `overwrite`), giving each file the entry's time.
  // Returns 0, or the library's error code of moving to the next entry; -1
  // when no archive is open, or `folder` is not absolute or cannot be made.
  // A failing entry (one that cannot be opened or decoded, a file that
  // cannot be created or written, a wrong checksum) ends the extraction
  // early without changing the result; its partly written file is removed,
  // and stopped_early() tells. Entries whose names would land outside
  // `folder` (absolute names, drive letters, "..", streams, device names)
  // are skipped and counted. complete() tells whether every entry came out.
  int extract_all(const std::u16string& folder, bool without_folders = false, bool overwrite = false);

  // Both count the last extract_all.
  size_t skipped_unsafe_entries() const { return skipped_unsafe_; }
  // Files written completely whose checksum matched.
  size_t extracted_files() const { return extracted_; }
  // Whether a failing entry ended the last extract_all.
  bool stopped_early() const { return stopped_early_; }
  // Whether the last extract_all wrote every entry: it succeeded, nothing
  // failed and nothing was skipped as unsafe.
  bool complete() const { return last_result_ == 0 && !stopped_early_ && skipped_unsafe_ == 0; }

  void close();

 private:
  enum class step { next, stop };
  int extract_entries(const std::u16string& folder, bool without_folders, bool overwrite);
  step extract_current(const std::u16string& folder, bool without_folders, bool overwrite, char* buffer);

  void* handle_ = nullptr;
  size_t skipped_unsafe_ = 0;
  size_t extracted_ = 0;
  int last_result_ = -1;
  bool stopped_early_ = false;
};

// Writes an archive file by file.
class zip_archive_c {
 public:
  zip_archive_c() = default;
  zip_archive_c(const zip_archive_c&) = delete;
  zip_archive_c& operator=(const zip_archive_c&) = delete;
  ~zip_archive_c();  // closes

  // A new archive replacing any file at `path`; with `append`, adds to the
  // archive there. 0, or -1 (also in last_result).
  int create(const std::u16string& path, bool append = false);

  // Adds one file under `name_in_archive` (ANSI code page; leading "\" and
  // "/" dropped), or, when that is empty, under the source's file name part.
  // Returns 0; the outcome is last_result(): 0, -1 when the source cannot be
  // read (the archive stays usable), or the library's error code.
  int add_file(const std::u16string& source, const std::string& name_in_archive = "");

  int last_result() const { return last_result_; }

  // 0, or -1 when writing the central directory fails. Closed either way.
  int close();

 private:
  void* handle_ = nullptr;
  int last_result_ = 0;
  // The library's default deflate level; 0 would store.
  int level_ = -1;
};

// Creates a folder and its missing parents; "/" and "\" both separate, a
// trailing "/" is ignored. 1, 0 when a parent cannot be made, or -104 when
// there is no memory.
int make_directories(const std::u16string& path);

// Gives a file the creation and last-write time of a zip entry (DOS date in
// the high 16 bits, time in the low 16), read as local time. Natively only
// the modification time: Linux has no creation time to set.
bool set_file_time(const std::u16string& path, uint32_t dos_date_time);

// The file's last-write time as a local DOS date and time (clamped to the
// years 1980 to 2107 that the format holds). 1 when found, else 0.
int file_dos_time(const std::u16string& path, uint32_t& dos_date_time);

// zlib's CRC-32 of the file's contents, read in chunks of `buffer_size`.
// 0, or -1 on a read error or a missing file (crc is then 0).
int file_crc32(const std::u16string& path, uint32_t& crc, size_t buffer_size);

}  // namespace quillary
