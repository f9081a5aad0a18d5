#include "platform/files.h"

#include <io.h>
#include <shlobj.h>

#include <cstring>

#include "platform/win32.h"

namespace quillary::platform {

const char16_t path_separator = u'\\';

std::u16string module_file_path() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return from_wide(path, length);
}

std::u16string current_directory() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, path);
  if (length == 0 || length >= MAX_PATH) return {};
  return from_wide(path, length);
}

bool set_current_directory(const std::u16string& path) {
  return SetCurrentDirectoryW(wide(path)) != 0;
}

bool is_directory(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool create_directories(const std::u16string& path) {
  // The result code is not trusted on its own: ERROR_ALREADY_EXISTS is also
  // what a file of that name gives.
  SHCreateDirectoryExW(nullptr, wide(path), nullptr);
  return is_directory(path);
}

}  // namespace quillary::platform

namespace quillary::platform {

bool read_whole_file(const std::u16string& path, std::string& out) {
  // Others may replace the file while it is read (the catalogue is
  // rewritten beside itself and put in place).
  HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  out.clear();
  char buffer[65536];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    out.append(buffer, got);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace quillary::platform

namespace quillary::platform {

std::FILE* open_file(const std::u16string& path, const char* mode) {
  std::wstring wide_mode(mode, mode + std::strlen(mode));
  return _wfopen(wide(path), wide_mode.c_str());
}

bool remove_file(const std::u16string& path) { return DeleteFileW(wide(path)) != 0; }

bool seek_file(std::FILE* file, uint64_t offset) {
  return offset <= static_cast<uint64_t>(INT64_MAX) && _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

}  // namespace quillary::platform

namespace quillary::platform {
bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
}  // namespace quillary::platform

namespace quillary::platform {
bool move_file_no_replace(const std::u16string& from, const std::u16string& to) {
  return MoveFileW(wide(from), wide(to)) != 0;
}
}  // namespace quillary::platform

namespace quillary::platform {
bool replace_file(const std::u16string& from, const std::u16string& to) {
  return MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool truncate_file(const std::u16string& path, uint64_t size) {
  HANDLE file = CreateFileW(wide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length{}, at{};
  length.QuadPart = static_cast<LONGLONG>(size);
  const bool cut = GetFileSizeEx(file, &at) && static_cast<uint64_t>(at.QuadPart) >= size &&
                   SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  return CloseHandle(file) && cut;
}

bool create_new_folder(const std::u16string& path) { return CreateDirectoryW(wide(path), nullptr) != 0; }

void hide_file(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(wide(path), attributes | FILE_ATTRIBUTE_HIDDEN);
}
}  // namespace quillary::platform

namespace quillary::platform {

bool remove_tree(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  // A junction or a link to a folder goes by itself: what it points to is
  // not ours.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(wide(join_path(path, u"*")), &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::u16string name = from_wide(entry.cFileName);
        if (name != u"." && name != u"..") remove_tree(join_path(path, name));
      } while (FindNextFileW(find, &entry));
      FindClose(find);
    }
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide(path), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW(wide(path));
  else DeleteFileW(wide(path));
  return GetFileAttributesW(wide(path)) == INVALID_FILE_ATTRIBUTES;
}

bool move_folder(const std::u16string& from, const std::u16string& to) {
  return MoveFileW(wide(from), wide(to)) != 0;
}

}  // namespace quillary::platform

namespace quillary::platform {
file_hold_c::file_hold_c(const std::u16string& path) {
  const HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) handle_ = file;
}
file_hold_c::~file_hold_c() {
  if (handle_) CloseHandle(handle_);
}
bool is_link(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
}  // namespace quillary::platform

namespace quillary::platform {
std::u16string temp_folder() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return {};
  while (length > 0 && path[length - 1] == L'\\') --length;
  return from_wide(path, length);
}
bool write_new_file(const std::u16string& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  return CloseHandle(file) && ok;
}
}  // namespace quillary::platform
