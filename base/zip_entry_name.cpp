#include "base/zip_entry_name.h"

#include <string>

namespace quillary {
namespace {

bool separates(char16_t c) { return c == u'/' || c == u'\\'; }

// "..", and what Windows turns into it by dropping trailing dots and
// blanks (".. ", "...").
bool climbs(std::u16string_view part) {
  return part.find_first_not_of(u". ") == std::u16string_view::npos && part.find(u"..") != std::u16string_view::npos;
}

std::vector<std::u16string_view> split_parts(std::u16string_view name) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || separates(name[i])) {
      if (i > start) parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

zip_entry_path refused() { return {zip_entry_kind::refused, {}}; }

}  // namespace

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

zip_entry_path zip_entry_path_of(std::u16string_view name, bool without_folders) {
  if (name.find(u'\0') != std::u16string_view::npos) return refused();
  std::vector<std::u16string_view> parts = split_parts(name);
  if (!name.empty() && separates(name.back())) {
    // A folder's files name it again, so a folder not kept is no loss.
    if (without_folders || parts.empty()) return {};
    if (escapes_folder(name)) return refused();
    return {zip_entry_kind::folder, std::move(parts)};
  }
  if (parts.empty()) return {};
  if (without_folders) {
    if (escapes_folder(parts.back())) return refused();
    return {zip_entry_kind::file, {parts.back()}};
  }
  if (escapes_folder(name)) return refused();
  return {zip_entry_kind::file, std::move(parts)};
}

}  // namespace quillary
