#include "server/zip_archive.h"

#include <libdeflate.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "base/archive_format.h"
#include "base/inf_text.h"
#include "server/cab_archive.h"

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

struct decompressor_freer {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

constexpr unsigned long encrypted_flag = 1u << 0;
constexpr int stored = 0;
constexpr int deflated = 8;

// The current entry, read from the archive's bytes in memory in one call
// into its buffer. minizip would pass every byte through its 16 KiB read
// buffer and zlib's 32 KiB window, with a fresh inflate state per entry;
// a whole-buffer decompressor inflates the small INF files of an index in
// about half zlib's time. minizip still opens the entry (raw), so that
// its local header is checked against the directory as before; the CRC
// is checked here.
bool read_current_in_memory(unzFile zip, const std::string& archive, const unz_file_info64& info,
                            std::string& data) {
  int method = 0;
  int level = 0;
  if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK) return false;
  const ZPOS64_T at = unzGetCurrentFileZStreamPos64(zip);
  unzCloseCurrentFile(zip);
  const uint64_t size = info.uncompressed_size;
  const uint64_t packed = info.compressed_size;
  if (at > archive.size() || packed > archive.size() - at) return false;
  const char* const in = archive.data() + at;
  data.resize(static_cast<size_t>(size));
  bool whole = false;
  if (method == stored) {
    whole = packed == size;
    if (whole) std::memcpy(data.data(), in, data.size());
  } else {
    thread_local const std::unique_ptr<libdeflate_decompressor, decompressor_freer> decompressor(
        libdeflate_alloc_decompressor());
    // Exactly the announced size, or the entry is damaged.
    whole = decompressor != nullptr &&
            libdeflate_deflate_decompress(decompressor.get(), in, packed, data.data(), data.size(), nullptr) ==
                LIBDEFLATE_SUCCESS;
  }
  return whole && libdeflate_crc32(0, data.data(), data.size()) == info.crc;
}

// Whether read_current_in_memory reads the current entry: a stored or
// deflated one, not encrypted and not empty, of an archive held in memory.
// minizip reads any other, and refuses what it cannot read.
bool readable_in_memory(bool archive_in_memory, const unz_file_info64& info) {
  return archive_in_memory && (info.flag & encrypted_flag) == 0 && info.uncompressed_size > 0 &&
         (info.compression_method == stored || info.compression_method == deflated);
}

// The current entry's whole name, however long: a name cut short would be
// another file's ("driver.inf.bak" would be read as "driver.inf").
bool read_name(unzFile zip, unz_file_info64& info, std::string& raw) {
  // Most names fit a small buffer, and then the directory entry is read
  // once, not a second time for the name.
  char name[256];
  if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  if (info.size_filename < sizeof name) {
    raw.assign(name, info.size_filename);
    return true;
  }
  raw.assign(info.size_filename + 1, '\0');
  if (unzGetCurrentFileInfo64(zip, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0, nullptr, 0) !=
      UNZ_OK) {
    return false;
  }
  raw.resize(info.size_filename);
  return true;
}

// The entry's name in UTF-8 with '/' between its parts, as the client's
// extraction places it (server/archive_listing.h).
zip_entry_kind entry_path(const std::string& raw, unsigned long flags, std::string& name) {
  return listed_name((flags & utf8_name_flag) ? decode_inf_bytes("\xEF\xBB\xBF" + raw) : cp1252_to_utf8(raw), name);
}

// An archive read into memory, as minizip's file functions see it: the
// directory walk's many small seeks and reads then cost no system call.
struct memory_file {
  const std::string* bytes = nullptr;
  uint64_t at = 0;
};

voidpf ZCALLBACK memory_open(voidpf opaque, const void*, int) { return opaque; }
uLong ZCALLBACK memory_read(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* file = static_cast<memory_file*>(stream);
  const uint64_t left = file->at < file->bytes->size() ? file->bytes->size() - file->at : 0;
  const uLong n = static_cast<uLong>(std::min<uint64_t>(size, left));
  std::memcpy(buffer, file->bytes->data() + file->at, n);
  file->at += n;
  return n;
}
uLong ZCALLBACK memory_write(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK memory_tell(voidpf, voidpf stream) { return static_cast<memory_file*>(stream)->at; }
long ZCALLBACK memory_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* file = static_cast<memory_file*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = file->at;
  else if (origin == ZLIB_FILEFUNC_SEEK_END) base = file->bytes->size();
  else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
  if (offset > file->bytes->size() - std::min<uint64_t>(base, file->bytes->size())) return -1;
  file->at = base + offset;
  return 0;
}
int ZCALLBACK memory_close(voidpf, voidpf) { return 0; }
int ZCALLBACK memory_error(voidpf, voidpf) { return 0; }

// Archives up to this size are read whole into one buffer that every
// package of the thread reuses (so that a catalogue of many packages does
// not allocate, or map, memory for each); larger ones are read from the file.
constexpr uint64_t max_archive_in_memory = 16u << 20;

bool read_whole_file(const std::string& file_path, std::string& bytes) {
  std::ifstream file(file_path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > max_archive_in_memory) return false;
  bytes.resize(static_cast<size_t>(size));
  file.seekg(0);
  return static_cast<bool>(file.read(bytes.data(), size));
}

bool read_zip_archive(const std::string& file_path, archive_listing& out, std::string& reason, uint64_t total_limit) {
  out = archive_listing{};
  inf_budget_c budget(total_limit);
  thread_local std::string bytes;
  memory_file in_memory;
  zlib_filefunc64_def functions{memory_open, memory_read, memory_write, memory_tell,
                                memory_seek, memory_close, memory_error, &in_memory};
  unzip_handle zip;
  if (read_whole_file(file_path, bytes)) {
    in_memory.bytes = &bytes;
    zip.reset(unzOpen2_64(file_path.c_str(), &functions));
  } else {
    zip.reset(unzOpen64(file_path.c_str()));
  }
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
      if (is_inf_name(name)) {
        const uint64_t size = info.uncompressed_size;
        if (std::string refusal = budget.refusal(name, size); !refusal.empty()) {
          out.unread.push_back(std::move(refusal));
        } else {
          // read_current insists on the announced size, so the sum holds.
          archive_file inf{name, {}};
          const bool read = readable_in_memory(in_memory.bytes != nullptr, info)
                                ? read_current_in_memory(zip.get(), bytes, info, inf.data)
                                : read_current(zip.get(), size, inf.data);
          if (!read) {
            reason = "damaged entry " + name;
            return false;
          }
          budget.spend(size);
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

bool starts_as_cabinet(const std::string& file_path) {
  std::ifstream file(file_path, std::ios::binary);
  std::string first(archive_header_size, '\0');
  file.read(first.data(), static_cast<std::streamsize>(first.size()));
  first.resize(static_cast<size_t>(file.gcount()));
  return archive_format_of(first) == archive_format::cabinet;
}

}  // namespace

bool read_archive(const std::string& file_path, archive_listing& out, std::string& reason, uint64_t total_limit) {
  if (starts_as_cabinet(file_path)) return read_cabinet_archive(file_path, out, reason, total_limit);
  return read_zip_archive(file_path, out, reason, total_limit);
}

}  // namespace quillary::server
