// Which names of a zip archive's entries may come out of it, and where they
// land: one rule for the client, which extracts packages below a folder of
// its own, and the service, which lists the packages' files and reads their
// INF files. A name the client would not extract is one the service must
// not offer a driver from.
//
// The rule takes the name decoded: in double-byte code pages the byte of a
// backslash can be the second half of a character, so separators can only
// be found in the decoded text, and only the caller knows the code page (the
// client: the system's ANSI code page; the service: Windows-1252), unless
// the entry is flagged as UTF-8.
#pragma once

#include <string_view>
#include <vector>

namespace quillary {

// Whether Windows opens a device rather than a file for this name, with any
// extension and trailing blanks ("nul.txt", "COM1 "), letter case ignored.
bool is_device_name(std::u16string_view name);

// Whether a relative name, joined to a folder, could reach anything outside
// it: an absolute or root-relative name, a drive ("C:x", relative to that
// drive's own current folder) or an alternate data stream (any ':'), a part
// that climbs (".." and what Windows makes of ".. " or "..."), or a device.
// '/' and '\' both separate.
bool escapes_folder(std::u16string_view name);

enum class zip_entry_kind {
  none,     // nothing to extract: an empty name, only separators, or a folder when folders are not kept
  folder,   // a name ending in a separator
  file,
  refused,  // would land outside the folder, or holds a NUL (which a file system would cut the name at)
};

struct zip_entry_path {
  zip_entry_kind kind = zip_entry_kind::none;
  // The folders and the file name in order, views into the name. '/' and
  // '\' both separate; doubled separators name no folder of their own, so
  // no part is empty. Empty unless the kind is folder or file.
  std::vector<std::u16string_view> parts;
};

// Where an entry lands below the extraction folder. `without_folders` keeps
// only the file name part, and then only it must stay inside.
zip_entry_path zip_entry_path_of(std::u16string_view name, bool without_folders = false);

}  // namespace quillary
