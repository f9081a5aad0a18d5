#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/text.h"

namespace quillary::platform {

const char16_t path_separator = u'/';

namespace {
std::filesystem::path to_path(const std::u16string& path) { return utf16_to_utf8(path); }
}  // namespace

std::u16string module_file_path() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::u16string() : utf8_to_utf16(path.string());
}

std::u16string current_directory() {
  std::error_code error;
  const auto path = std::filesystem::current_path(error);
  return error ? std::u16string() : utf8_to_utf16(path.string());
}

bool set_current_directory(const std::u16string& path) {
  return chdir(utf16_to_utf8(path).c_str()) == 0;
}

bool is_directory(const std::u16string& path) {
  std::error_code error;
  return std::filesystem::is_directory(to_path(path), error);
}

bool create_directories(const std::u16string& path) {
  std::error_code error;
  std::filesystem::create_directories(to_path(path), error);
  return is_directory(path);
}

}  // namespace quillary::platform

namespace quillary::platform {

bool read_whole_file(const std::u16string& path, std::string& out) {
  std::FILE* file = std::fopen(utf16_to_utf8(path).c_str(), "rb");
  if (!file) return false;
  out.clear();
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, got);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

}  // namespace quillary::platform

namespace quillary::platform {

std::FILE* open_file(const std::u16string& path, const char* mode) {
  return std::fopen(utf16_to_utf8(path).c_str(), mode);
}

bool remove_file(const std::u16string& path) {
  return std::remove(utf16_to_utf8(path).c_str()) == 0;
}

bool seek_file(std::FILE* file, uint64_t offset) {
  return offset <= static_cast<uint64_t>(INT64_MAX) && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace quillary::platform

namespace quillary::platform {
bool stderr_is_terminal() { return isatty(2) != 0; }
}  // namespace quillary::platform

namespace quillary::platform {
bool move_file_no_replace(const std::u16string& from, const std::u16string& to) {
  // A hard link fails when the target exists, which rename() would replace.
  const std::string source = utf16_to_utf8(from), target = utf16_to_utf8(to);
  if (link(source.c_str(), target.c_str()) != 0) return false;
  unlink(source.c_str());
  return true;
}
}  // namespace quillary::platform

namespace quillary::platform {
bool replace_file(const std::u16string& from, const std::u16string& to) {
  return std::rename(utf16_to_utf8(from).c_str(), utf16_to_utf8(to).c_str()) == 0;
}

bool truncate_file(const std::u16string& path, uint64_t size) {
  const std::string name = utf16_to_utf8(path);
  struct stat status {};
  if (stat(name.c_str(), &status) != 0 || static_cast<uint64_t>(status.st_size) < size) return false;
  return truncate(name.c_str(), static_cast<off_t>(size)) == 0;
}

bool create_new_folder(const std::u16string& path) { return mkdir(utf16_to_utf8(path).c_str(), 0777) == 0; }

void hide_file(const std::u16string&) {}
}  // namespace quillary::platform

namespace quillary::platform {

bool remove_tree(const std::u16string& path) {
  // remove_all removes symbolic links themselves, never what they point to.
  std::error_code error;
  std::filesystem::remove_all(to_path(path), error);
  return !std::filesystem::exists(std::filesystem::symlink_status(to_path(path), error));
}

bool move_folder(const std::u16string& from, const std::u16string& to) {
  // rename() would replace an empty folder at the target.
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(to_path(to), error))) return false;
  return std::rename(utf16_to_utf8(from).c_str(), utf16_to_utf8(to).c_str()) == 0;
}

}  // namespace quillary::platform

namespace quillary::platform {
file_hold_c::file_hold_c(const std::u16string& path) { handle_ = open_file(path, "rb"); }
file_hold_c::~file_hold_c() {
  if (handle_) std::fclose(static_cast<std::FILE*>(handle_));
}
bool is_link(const std::u16string& path) {
  struct stat status {};
  return lstat(utf16_to_utf8(path).c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}
}  // namespace quillary::platform

#include <fcntl.h>

namespace quillary::platform {
std::u16string temp_folder() {
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder && *folder ? folder : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return utf8_to_utf16(path);
}
bool write_new_file(const std::u16string& path, const std::string& bytes) {
  const int file = ::open(utf16_to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
  if (file < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return ::close(file) == 0 && done == bytes.size();
}
}  // namespace quillary::platform
