// Windows file access for the zip helpers: wide paths throughout, so names
// the ANSI code page cannot hold still reach the disk; the archive itself
// through minizip's Win32 file functions.
#include <minizip/ioapi.h>
#include <minizip/iowin32.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>

#include "download/zip_archive.h"
#include "download/zip_file_access.h"
#include "platform/win32.h"

namespace quillary {
namespace zip_access {

const char16_t separator = u'\\';

namespace {
HANDLE as_handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

bool is_absolute(const std::u16string& path) {
  auto separates = [](char16_t c) { return c == u'\\' || c == u'/'; };
  // "C:\..." or a UNC name "\\server\share\...".
  if (path.size() >= 3 && path[1] == u':' && separates(path[2])) return true;
  return path.size() >= 2 && separates(path[0]) && separates(path[1]);
}

void* open_for_reading(const std::u16string& path) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  return unzOpen2_64(wide(path), &functions);
}

void* open_for_writing(const std::u16string& path, int append_status) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  return zipOpen2_64(wide(path), append_status, nullptr, &functions);
}

bool exists(const std::u16string& path) { return GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES; }

folder_result make_folder(const std::u16string& path) {
  if (CreateDirectoryW(wide(path), nullptr)) return folder_result::made;
  return GetLastError() == ERROR_PATH_NOT_FOUND ? folder_result::parent_missing : folder_result::failed;
}

bool file_size(const std::u16string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return false;
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool file_c::open_for_reading(const std::u16string& path) {
  close();
  handle_ = reinterpret_cast<intptr_t>(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  return as_handle(handle_) != INVALID_HANDLE_VALUE;
}

bool file_c::create(const std::u16string& path, bool overwrite) {
  close();
  handle_ = reinterpret_cast<intptr_t>(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr,
                                                   overwrite ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                                   nullptr));
  return as_handle(handle_) != INVALID_HANDLE_VALUE;
}

int64_t file_c::read(void* buffer, size_t size) {
  if (as_handle(handle_) == INVALID_HANDLE_VALUE) return -1;
  size_t total = 0;
  while (total < size) {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30));
    if (!ReadFile(as_handle(handle_), static_cast<char*>(buffer) + total, ask, &got, nullptr)) return -1;
    if (got == 0) break;
    total += got;
  }
  return static_cast<int64_t>(total);
}

bool file_c::write(const void* data, size_t size) {
  if (as_handle(handle_) == INVALID_HANDLE_VALUE) return false;
  size_t total = 0;
  while (total < size) {
    DWORD put = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30));
    if (!WriteFile(as_handle(handle_), static_cast<const char*>(data) + total, ask, &put, nullptr) || put == 0) {
      return false;
    }
    total += put;
  }
  return true;
}

bool file_c::close() {
  if (as_handle(handle_) == INVALID_HANDLE_VALUE) return true;
  const bool closed = CloseHandle(as_handle(handle_)) != 0;
  handle_ = -1;
  return closed;
}

bool write_file_time(const std::u16string& path, uint32_t dos_date_time) {
  zip_access::dos_fields fields;
  if (!zip_access::dos_to_fields(dos_date_time, fields)) return false;
  FILETIME local, universal;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dos_date_time >> 16), static_cast<WORD>(dos_date_time), &local) ||
      !LocalFileTimeToFileTime(&local, &universal)) {
    return false;
  }
  HANDLE file = CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Creation and last write; the last access stays.
  const bool set = SetFileTime(file, &universal, nullptr, &universal) != 0;
  CloseHandle(file);
  return set;
}

bool read_file_dos_time(const std::u16string& path, uint32_t& dos_date_time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return false;
  FILETIME local;
  SYSTEMTIME fields;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &fields)) return false;
  dos_date_time = zip_access::fields_to_dos(
      {fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond});
  return true;
}

}  // namespace zip_access
}  // namespace quillary
