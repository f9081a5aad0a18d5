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

bool is_device_name(std::u16string_view name) {
  std::u16string base(name.substr(0, name.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (auto& c : base) {
    if (c >= u'a' && c <= u'z') c -= 0x20;
  }
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
    if (base == device) return true;
  }
  if (base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT"))) {
    const char16_t digit = base[3];
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
  }
  return false;
}

namespace {

bool separates(char16_t c) { return c == u'/' || c == u'\\'; }

// "..", and what Windows turns into it by dropping trailing dots and
// blanks (".. ", "...").
bool climbs(std::u16string_view part) {
  return part.find_first_not_of(u". ") == std::u16string_view::npos && part.find(u"..") != std::u16string_view::npos;
}

}  // namespace

bool escapes_folder(std::u16string_view name) {
  if (!name.empty() && separates(name.front())) return true;
  if (name.find(u':') != std::u16string_view::npos) return true;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !separates(name[i])) continue;
    const std::u16string_view part = name.substr(start, i - start);
    if (climbs(part) || (!part.empty() && is_device_name(part))) return true;
    start = i + 1;
  }
  return false;
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
