#include "server/archive_listing.h"

#include "base/ascii_text.h"
#include "base/utf8.h"

namespace quillary::server {

zip_entry_kind listed_name(const std::string& decoded, std::string& name) {
  name = decoded;
  const std::u16string wide = utf8_to_utf16(decoded);
  const zip_entry_path entry = zip_entry_path_of(wide);
  if (entry.kind == zip_entry_kind::file) {
    name.clear();
    for (const auto part : entry.parts) {
      if (!name.empty()) name += '/';
      name += utf16_to_utf8(part);
    }
  } else {
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
  }
  return entry.kind;
}

bool is_inf_name(const std::string& name) {
  return name.size() > 4 && equal_ignore_case_ascii(name.substr(name.size() - 4), ".inf");
}

std::string inf_budget_c::refusal(const std::string& name, uint64_t size) const {
  if (size > max_inf_size) return name + ": larger than " + std::to_string(max_inf_size >> 20) + " MiB, not read";
  if (size > total_limit_ - spent_) {
    return name + ": the archive's INF files pass " + std::to_string(total_limit_ >> 20) + " MiB together, not read";
  }
  return {};
}

}  // namespace quillary::server
