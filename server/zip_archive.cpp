#include "server/zip_archive.h"

#include <minizip/unzip.h>

#include <memory>

#include "base/ascii_text.h"
#include "base/inf_text.h"
#include "base/utf8.h"
#include "base/zip_entry_name.h"

namespace quillary::server {

namespace {

struct unzip_closer {
  void operator()(void* handle) const { unzClose(handle); }
};
using unzip_handle = std::unique_ptr<void, unzip_closer>;

constexpr unsigned long utf8_name_flag = 1u << 11;

bool read_current(unzFile zip, uint64_t size, std::string& data) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  data.clear();
  data.reserve(static_cast<size_t>(size));
  char buffer[16384];
  int n;
  while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
    data.append(buffer, static_cast<size_t>(n));
    if (data.size() > size) break;  // the header lied about the size
  }
  const int closed = unzCloseCurrentFile(zip);  // UNZ_CRCERROR on a damaged entry
  return n == 0 && closed == UNZ_OK && data.size() == size;
}

// The current entry's whole name, however long: a name cut short would be
// another file's ("driver.inf.bak" would be read as "driver.inf").
bool read_name(unzFile zip, unz_file_info64& info, std::string& raw) {
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  raw.assign(info.size_filename + 1, '\0');
  if (unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0, nullptr, 0) !=
      UNZ_OK) {
    return false;
  }
  raw.resize(info.size_filename);
  return true;
}

// The entry's name in UTF-8 with '/' between its parts, as the client's
// extraction places it (base/zip_entry_name.h); a refused name is given as
// it stands, '\' made '/', for the warning.
zip_entry_kind entry_path(const std::string& raw, unsigned long flags, std::string& name) {
  name = (flags & utf8_name_flag) ? decode_inf_bytes("\xEF\xBB\xBF" + raw) : cp1252_to_utf8(raw);
  const std::u16string wide = utf8_to_utf16(name);
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

}  // namespace

bool read_archive(const std::string& file_path, archive_listing& out, std::string& reason, uint64_t total_limit) {
  out = archive_listing{};
  uint64_t inf_bytes = 0;
  unzip_handle zip(unzOpen64(file_path.c_str()));
  if (!zip) {
    reason = "not a readable zip archive";
    return false;
  }
  int step = unzGoToFirstFile(zip.get());
  while (step == UNZ_OK) {
    unz_file_info64 info;
    std::string raw;
    if (!read_name(zip.get(), info, raw)) {
      reason = "damaged central directory";
      return false;
    }
    std::string name;
    const zip_entry_kind kind = entry_path(raw, info.flag, name);
    if (kind == zip_entry_kind::refused) out.refused.push_back(name);
    if (kind == zip_entry_kind::file) {
      if (name.size() > 4 && equal_ignore_case_ascii(name.substr(name.size() - 4), ".inf")) {
        const uint64_t size = info.uncompressed_size;
        if (size > max_inf_size) {
          out.unread.push_back(name + ": larger than " + std::to_string(max_inf_size >> 20) + " MiB, not read");
        } else if (size > total_limit - inf_bytes) {
          out.unread.push_back(name + ": the archive's INF files pass " + std::to_string(total_limit >> 20) +
                               " MiB together, not read");
        } else {
          // read_current insists on the announced size, so the sum holds.
          archive_file inf{name, {}};
          if (!read_current(zip.get(), size, inf.data)) {
            reason = "damaged entry " + name;
            return false;
          }
          inf_bytes += size;
          out.infs.push_back(std::move(inf));
        }
      }
      out.paths.push_back(std::move(name));
    }
    step = unzGoToNextFile(zip.get());
  }
  if (step != UNZ_END_OF_LIST_OF_FILE) {
    reason = "damaged central directory";
    return false;
  }
  return true;
}

}  // namespace quillary::server
