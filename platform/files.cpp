#include "platform/files.h"

#include <filesystem>
#include <system_error>

namespace quillary::platform {

std::u16string join_path(const std::u16string& folder, const std::u16string& name) {
  std::u16string left(folder);
  while (!left.empty() && left.back() == path_separator) left.pop_back();
  size_t skip = 0;
  while (skip < name.size() && name[skip] == path_separator) ++skip;
  return left + path_separator + name.substr(skip);
}

std::u16string file_name_part(const std::u16string& path) {
  const size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

std::u16string parent_folder(const std::u16string& path) {
  const size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

std::u16string native_separators(std::u16string path) {
  for (auto& c : path) {
    if (c == u'\\' || c == u'/') c = path_separator;
  }
  return path;
}

namespace {
std::filesystem::path fs_path(const std::u16string& path) { return std::filesystem::path(path); }
}  // namespace

uint64_t file_size(const std::u16string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(fs_path(path), error);
  return error ? 0 : size;
}

bool file_exists(const std::u16string& path) {
  std::error_code error;
  return std::filesystem::exists(fs_path(path), error);
}

std::vector<std::u16string> folder_entries(const std::u16string& folder) {
  std::vector<std::u16string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(fs_path(folder), error)) {
    names.push_back(entry.path().filename().u16string());
  }
  return names;
}

}  // namespace quillary::platform
