// The file access under the zip helpers: one implementation for Windows
// (wide-path Win32 calls, minizip's Win32 file functions) and one natively
// (POSIX calls, minizip's fopen64 functions with UTF-8 paths).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillary::zip_access {

// The separator the extraction puts between folders: '\\' or '/'.
extern const char16_t separator;

bool is_absolute(const std::u16string& path);

// minizip handles (unzFile, zipFile) over the platform's file functions;
// null on failure. `append_status` is one of minizip's APPEND_STATUS_*.
void* open_for_reading(const std::u16string& path);
void* open_for_writing(const std::u16string& path, int append_status);

// Anything at the path, a dangling link too.
bool exists(const std::u16string& path);

enum class folder_result { made, parent_missing, failed };
// Creates one folder; an existing one is `failed`, not `parent_missing`.
folder_result make_folder(const std::u16string& path);

bool file_size(const std::u16string& path, uint64_t& size);

// One open file, closed when it goes.
class file_c {
 public:
  file_c() = default;
  file_c(const file_c&) = delete;
  file_c& operator=(const file_c&) = delete;
  ~file_c() { close(); }

  bool open_for_reading(const std::u16string& path);
  // A new file; one that exists already is a failure unless `overwrite`.
  // Never follows a link at the path.
  bool create(const std::u16string& path, bool overwrite);
  // Up to `size` bytes, fewer only at the end of the file; -1 on an error.
  int64_t read(void* buffer, size_t size);
  // All of it, or false.
  bool write(const void* data, size_t size);
  // False when the system reports an error at closing (data not written).
  bool close();

 private:
  intptr_t handle_ = -1;
};

// A DOS date and time as calendar fields.
struct dos_fields {
  int year, month, day, hour, minute, second;
};
// False for a value that names no real moment (month 13, hour 25, ...).
bool dos_to_fields(uint32_t dos_date_time, dos_fields& out);
// Clamped to the range the format holds; odd seconds round down.
uint32_t fields_to_dos(const dos_fields& fields);

// The system's side of set_file_time and file_dos_time (zip_archive.h).
bool write_file_time(const std::u16string& path, uint32_t dos_date_time);
bool read_file_dos_time(const std::u16string& path, uint32_t& dos_date_time);

}  // namespace quillary::zip_access
