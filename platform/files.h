// Paths and folders of the running program.
#pragma once

#include <string>
#include <string_view>

#include "base/zip_entry_name.h"

namespace quillary::platform {

// '\\' on Windows, '/' natively.
extern const char16_t path_separator;

// Full path of the running executable; empty when it cannot be read.
std::u16string module_file_path();

std::u16string current_directory();
bool set_current_directory(const std::u16string& path);

bool is_directory(const std::u16string& path);

// Creates the folder and every missing parent (SHCreateDirectoryExW on
// Windows). True when the folder exists afterwards.
bool create_directories(const std::u16string& path);

// Joins with exactly one separator between the two parts.
std::u16string join_path(const std::u16string& folder, const std::u16string& name);

// The last component of a path, after its last backslash or slash; the
// whole path when it has neither.
std::u16string file_name_part(const std::u16string& path);
// What comes before that last backslash or slash; empty when there is none.
std::u16string parent_folder(const std::u16string& path);

// Device names and names that escape their folder, as the zip entries'
// rule decides them (base/zip_entry_name.h): one rule for every name the
// program puts below a folder of its own.
using quillary::escapes_folder;
using quillary::is_device_name;

// A relative path written with backslashes (as the update service and the
// catalogue write them) in this system's spelling.
std::u16string native_separators(std::u16string path);

}  // namespace quillary::platform

namespace quillary::platform {
// Reads the whole file as bytes; false when it cannot be opened or read.
bool read_whole_file(const std::u16string& path, std::string& out);
}  // namespace quillary::platform

#include <cstdio>

namespace quillary::platform {
// fopen with a UTF-16 path (_wfopen on Windows).
std::FILE* open_file(const std::u16string& path, const char* mode);
// Moves to byte `offset` from the file's start, past 2 GiB too (fseek takes
// a 32-bit long on Windows); false when it cannot.
bool seek_file(std::FILE* file, uint64_t offset);
// Deletes a file; false when it could not be deleted (a missing file too).
bool remove_file(const std::u16string& path);
}  // namespace quillary::platform

namespace quillary::platform {
// Whether standard error is a terminal (progress is shown only then).
bool stderr_is_terminal();
}  // namespace quillary::platform

#include <cstdint>
#include <vector>

namespace quillary::platform {
// The size of a file; 0 when it cannot be opened or measured.
uint64_t file_size(const std::u16string& path);
bool file_exists(const std::u16string& path);
// Moves a file; fails (and changes nothing) when the target exists.
bool move_file_no_replace(const std::u16string& from, const std::u16string& to);
// The names of the entries of a folder, in the order the system gives them.
std::vector<std::u16string> folder_entries(const std::u16string& folder);
}  // namespace quillary::platform

namespace quillary::platform {
// Removes a folder with everything below it. Links and junctions inside
// are removed themselves, never followed. True when nothing is left.
bool remove_tree(const std::u16string& path);
// Renames a folder; fails (and changes nothing) when the target exists.
bool move_folder(const std::u16string& from, const std::u16string& to);
}  // namespace quillary::platform

namespace quillary::platform {
// Puts `from` in the place of `to`, replacing it in one step.
bool replace_file(const std::u16string& from, const std::u16string& to);
// Cuts an existing file back to its first `size` bytes; false when it
// cannot be opened or cut (or is shorter).
bool truncate_file(const std::u16string& path, uint64_t size);
// Creates one folder that was not there: false when anything is at the
// path already, or its parent is missing.
bool create_new_folder(const std::u16string& path);
// Hides a file from the shell's usual view (natively a leading dot does).
void hide_file(const std::u16string& path);
}  // namespace quillary::platform

namespace quillary::platform {
// Holds a file open so that nobody can write to it, rename or delete it
// until the hold ends (on Windows: shared for reading only, so a writer that
// has it open already makes the hold fail too). Natively the file is only
// kept open: the native build installs nothing.
class file_hold_c {
 public:
  explicit file_hold_c(const std::u16string& path);
  ~file_hold_c();
  file_hold_c(const file_hold_c&) = delete;
  file_hold_c& operator=(const file_hold_c&) = delete;
  bool held() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};
// Whether the folder is a link or junction (a reparse point) rather than a
// folder of its own; false for a plain folder or nothing at all.
bool is_link(const std::u16string& path);
}  // namespace quillary::platform

namespace quillary::platform {
// The user's folder for temporary files (GetTempPathW; natively TMPDIR or
// /tmp), without a trailing separator.
std::u16string temp_folder();
// Writes a file that was not there: false when anything is at the path
// already (a link too, which is never followed) or it cannot be written.
bool write_new_file(const std::u16string& path, const std::string& bytes);
}  // namespace quillary::platform
