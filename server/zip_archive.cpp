#include "server/zip_archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <memory>

#include "base/ascii_text.h"
#include "base/inf_text.h"

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
    char raw_name[1024];
    if (unzGetCurrentFileInfo64(zip.get(), &info, raw_name, sizeof raw_name, nullptr, 0, nullptr, 0) != UNZ_OK) {
      reason = "damaged central directory";
      return false;
    }
    const std::string_view raw(raw_name, std::min<size_t>(info.size_filename, sizeof raw_name - 1));
    std::string name = (info.flag & utf8_name_flag) ? decode_inf_bytes("\xEF\xBB\xBF" + std::string(raw))
                                                    : cp1252_to_utf8(raw);
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    const bool folder = !name.empty() && name.back() == '/';
    if (!folder && !name.empty()) {
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
