// Native file access for the zip helpers: POSIX calls with UTF-8 paths.
#include <errno.h>
#include <fcntl.h>
#include <minizip/ioapi.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "download/zip_archive.h"
#include "download/zip_file_access.h"
#include "platform/text.h"

namespace quillary {
namespace zip_access {

const char16_t separator = u'/';

namespace {
std::string native(const std::u16string& path) { return utf16_to_utf8(path); }
}  // namespace

bool is_absolute(const std::u16string& path) { return !path.empty() && path.front() == u'/'; }

void* open_for_reading(const std::u16string& path) {
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  return unzOpen2_64(native(path).c_str(), &functions);
}

void* open_for_writing(const std::u16string& path, int append_status) {
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  return zipOpen2_64(native(path).c_str(), append_status, nullptr, &functions);
}

bool exists(const std::u16string& path) {
  struct stat info;
  return lstat(native(path).c_str(), &info) == 0;
}

folder_result make_folder(const std::u16string& path) {
  // Archives written on Windows separate folders with '\\'; here too.
  std::string text = native(path);
  std::replace(text.begin(), text.end(), '\\', '/');
  if (mkdir(text.c_str(), 0777) == 0) return folder_result::made;
  // A file where a parent folder should be is a missing parent as well.
  return errno == ENOENT || errno == ENOTDIR ? folder_result::parent_missing : folder_result::failed;
}

bool file_size(const std::u16string& path, uint64_t& size) {
  struct stat info;
  if (stat(native(path).c_str(), &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool file_c::open_for_reading(const std::u16string& path) {
  close();
  handle_ = ::open(native(path).c_str(), O_RDONLY | O_CLOEXEC);
  return handle_ >= 0;
}

bool file_c::create(const std::u16string& path, bool overwrite) {
  close();
  const int replace = overwrite ? O_TRUNC : O_EXCL;
  handle_ = ::open(native(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | replace, 0666);
  return handle_ >= 0;
}

int64_t file_c::read(void* buffer, size_t size) {
  if (handle_ < 0) return -1;
  size_t total = 0;
  while (total < size) {
    const ssize_t got = ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(total);
}

bool file_c::write(const void* data, size_t size) {
  if (handle_ < 0) return false;
  size_t total = 0;
  while (total < size) {
    const ssize_t put = ::write(static_cast<int>(handle_), static_cast<const char*>(data) + total, size - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    total += static_cast<size_t>(put);
  }
  return true;
}

bool file_c::close() {
  if (handle_ < 0) return true;
  const bool closed = ::close(static_cast<int>(handle_)) == 0;
  handle_ = -1;
  return closed;
}

bool write_file_time(const std::u16string& path, uint32_t dos_date_time) {
  zip_access::dos_fields fields;
  if (!zip_access::dos_to_fields(dos_date_time, fields)) return false;
  struct tm local = {};
  local.tm_year = fields.year - 1900;
  local.tm_mon = fields.month - 1;
  local.tm_mday = fields.day;
  local.tm_hour = fields.hour;
  local.tm_min = fields.minute;
  local.tm_sec = fields.second;
  local.tm_isdst = -1;  // whatever the zone's rule says for that date
  const time_t moment = mktime(&local);
  if (moment == static_cast<time_t>(-1)) return false;
  // The access time stays; there is no creation time to set.
  const struct timespec times[2] = {{0, UTIME_OMIT}, {moment, 0}};
  return utimensat(AT_FDCWD, zip_access::native(path).c_str(), times, 0) == 0;
}

bool read_file_dos_time(const std::u16string& path, uint32_t& dos_date_time) {
  struct stat info;
  if (stat(zip_access::native(path).c_str(), &info) != 0) return false;
  struct tm local;
  if (!localtime_r(&info.st_mtime, &local)) return false;
  dos_date_time = zip_access::fields_to_dos({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                             local.tm_min, local.tm_sec});
  return true;
}

}  // namespace zip_access
}  // namespace quillary
