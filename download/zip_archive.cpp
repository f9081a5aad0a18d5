#include "download/zip_archive.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "base/zip_entry_name.h"
#include "download/zip_file_access.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

constexpr size_t extract_buffer_size = 8192;
constexpr size_t add_buffer_size = 16384;
// Files this large need the 64-bit zip format.
constexpr uint64_t zip64_threshold = 0xFFFFFFFFull;
constexpr int deflate_memory_level = 8;
// What open() appends when the path itself is no archive, and how much of
// the path it keeps before it.
constexpr char16_t zip_suffix[] = u".zip";
constexpr size_t max_retry_path = 255;

bool is_separator(char16_t c) { return c == u'/' || c == u'\\'; }

// General-purpose flag bit 11: the entry's name is UTF-8. Today's tools
// (Windows' compressed folders, 7-Zip, Python's zipfile) set it for names
// beyond ASCII; a name without it is in the code page of the system that
// wrote it, which is taken to be ours (our own backup archives are
// written so).
constexpr uLong utf8_name_flag = 1u << 11;

std::u16string decode_entry_name(const std::string& raw, uLong flags) {
  return (flags & utf8_name_flag) ? utf8_to_utf16(raw) : from_ansi(raw);
}

// `folder` joined with the first `count` parts.
std::u16string below(const std::u16string& folder, const std::vector<std::u16string_view>& parts, size_t count) {
  std::u16string path = folder;
  for (size_t i = 0; i < count; ++i) {
    if (path.empty() || !is_separator(path.back())) path += zip_access::separator;
    path += parts[i];
  }
  return path;
}

// minizip decodes stored and deflated data only; it would hand out the raw
// bytes of other methods (and of encrypted entries, as we give no
// password) as if they were the file's contents.
bool can_decode(const unz_file_info64& info) {
  return (info.flag & 1) == 0 && (info.compression_method == 0 || info.compression_method == Z_DEFLATED);
}

// minizip 1.1 compares the 32-bit size fields with (unsigned long)-1,
// which is 64 bits wide on LP64 systems (the native build, not Windows):
// there it never reads the zip64 extra field of the central directory and
// reports the placeholder 0xFFFFFFFF as the size, and then checks neither
// the size nor the checksum. The copy then checks the checksum itself.
constexpr ZPOS64_T size_placeholder = 0xFFFFFFFF;

// Reads the open entry to its end, handing each piece to `sink`; false on
// a read failure, when the sink refuses a piece, or when the data ends
// before the size the archive gives (minizip checks the checksum only of
// an entry read to that size).
template <typename sink_t>
bool read_entry_data(void* handle, char* buffer, const unz_file_info64& info, sink_t&& sink) {
  const bool own_check = info.uncompressed_size == size_placeholder;
  uLong crc = crc32(0, nullptr, 0);
  uint64_t total = 0;
  for (;;) {
    const int got = unzReadCurrentFile(handle, buffer, extract_buffer_size);
    if (got == 0) return own_check ? crc == info.crc : total == info.uncompressed_size;
    if (got < 0 || !sink(buffer, static_cast<size_t>(got))) return false;
    if (own_check) crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(got));
    total += static_cast<unsigned>(got);
  }
}

// The current entry's information and its whole name, however long: a name
// cut short is another file's ("driver.inf.bak" would land as "driver.inf").
bool current_entry(void* handle, unz_file_info64& info, std::string& raw_name) {
  if (unzGetCurrentFileInfo64(handle, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  raw_name.assign(info.size_filename + 1, '\0');
  if (unzGetCurrentFileInfo64(handle, &info, raw_name.data(), static_cast<uLong>(raw_name.size()), nullptr, 0,
                              nullptr, 0) != UNZ_OK) {
    return false;
  }
  raw_name.resize(info.size_filename);
  return true;
}

// Copies the open entry into the file.
bool copy_entry(void* handle, zip_access::file_c& out, char* buffer, const unz_file_info64& info) {
  return read_entry_data(handle, buffer, info, [&](const char* data, size_t size) { return out.write(data, size); });
}

}  // namespace

// --- unzip_archive_c -------------------------------------------------------

unzip_archive_c::~unzip_archive_c() { close(); }

outcome unzip_archive_c::open(const std::u16string& path) {
  close();
  if (path.empty()) return outcome::failed(zip_failed, "no archive named");
  handle_ = zip_access::open_for_reading(path);
  if (!handle_) handle_ = zip_access::open_for_reading(path.substr(0, max_retry_path) + zip_suffix);
  return handle_ ? outcome::done() : outcome::failed(zip_failed, "no zip archive can be read there");
}

void unzip_archive_c::close() {
  if (handle_) unzClose(handle_);
  handle_ = nullptr;
}

zip_extraction unzip_archive_c::extract_all(const std::u16string& folder, bool without_folders, bool overwrite) {
  zip_extraction extraction;
  extraction.result = extract_entries(folder, without_folders, overwrite, extraction);
  return extraction;
}

outcome unzip_archive_c::extract_entries(const std::u16string& folder, bool without_folders, bool overwrite,
                                         zip_extraction& out) {
  if (!handle_) return outcome::failed(zip_failed, "no archive is open");
  if (!zip_access::is_absolute(folder)) return outcome::failed(zip_failed, "the folder is no absolute path");
  (void)make_directories(folder);
  if (!platform::is_directory(folder)) return outcome::failed(zip_failed, "the folder cannot be made");

  unz_global_info64 global;
  int result = unzGetGlobalInfo64(handle_, &global);
  if (result != UNZ_OK) return outcome::failed(result, "the archive's directory cannot be read");
  if (global.number_entry == 0) return outcome::done();
  // From the first entry even when an earlier extraction moved on; a
  // central directory that cannot be read shows at the first entry.
  unzGoToFirstFile(handle_);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[extract_buffer_size]);
  if (!buffer) {
    out.stopped_early = true;
    return outcome::done();
  }
  for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
    if (extract_current(folder, without_folders, overwrite, buffer.get(), out) == step::stop) {
      out.stopped_early = true;
      return outcome::done();
    }
    if (i + 1 < global.number_entry) {
      result = unzGoToNextFile(handle_);
      if (result == UNZ_END_OF_LIST_OF_FILE) {
        // Fewer entries than the archive announces: some are missing.
        out.stopped_early = true;
        break;
      }
      if (result != UNZ_OK) return outcome::failed(result, "the next entry cannot be found");
    }
  }
  return outcome::done();
}

zip_reading unzip_archive_c::read_all(const zip_entry_sink& sink) {
  zip_reading reading;
  if (!handle_) {
    reading.result = outcome::failed(zip_failed, "no archive is open");
    return reading;
  }
  unz_global_info64 global;
  if (const int result = unzGetGlobalInfo64(handle_, &global); result != UNZ_OK) {
    reading.result = outcome::failed(result, "the archive's directory cannot be read");
    return reading;
  }
  unzGoToFirstFile(handle_);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[extract_buffer_size]);
  if (!buffer) {
    reading.result = outcome::failed(UNZ_INTERNALERROR, "no memory to read the archive");
    return reading;
  }
  for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
    if (read_current(sink, buffer.get(), reading) == step::stop) {
      reading.damaged = true;
      break;
    }
    if (i + 1 < global.number_entry && unzGoToNextFile(handle_) != UNZ_OK) {
      // Fewer entries than the archive announces, or a directory that
      // cannot be walked on: what follows cannot be vouched for.
      reading.damaged = true;
      break;
    }
  }
  reading.result = outcome::done();
  return reading;
}

unzip_archive_c::step unzip_archive_c::read_current(const zip_entry_sink& sink, char* buffer, zip_reading& reading) {
  unz_file_info64 info;
  std::string raw_name;
  if (!current_entry(handle_, info, raw_name)) return step::stop;
  const std::u16string name = decode_entry_name(raw_name, info.flag);
  reading.damaged_entry = name;
  if (!can_decode(info) || unzOpenCurrentFile(handle_) != UNZ_OK) return step::stop;
  const auto take = sink ? sink(name) : nullptr;
  const bool whole = read_entry_data(handle_, buffer, info, [&](const char* data, size_t size) {
    return !take || take(data, size);
  });
  // Closing the entry is where minizip compares the checksum.
  if (unzCloseCurrentFile(handle_) != UNZ_OK || !whole) return step::stop;
  reading.damaged_entry.clear();
  ++reading.entries;
  return step::next;
}

unzip_archive_c::step unzip_archive_c::extract_current(const std::u16string& folder, bool without_folders,
                                                       bool overwrite, char* buffer, zip_extraction& extraction) {
  unz_file_info64 info;
  std::string raw_name;
  if (!current_entry(handle_, info, raw_name)) return step::stop;
  // A name with a zero byte inside would be cut at it by the file system.
  if (raw_name.find('\0') != std::string::npos) return step::stop;
  // Separators are looked for in the wide name: in double-byte code pages
  // the byte of a backslash can be the second half of a character.
  const std::u16string name = decode_entry_name(raw_name, info.flag);
  const zip_entry_path entry = zip_entry_path_of(name, without_folders);
  const auto& parts = entry.parts;
  switch (entry.kind) {
    case zip_entry_kind::none:
      return step::next;
    case zip_entry_kind::refused:
      ++extraction.skipped_unsafe;
      return step::next;
    case zip_entry_kind::folder:
      // One level: a folder whose parent is missing comes with its first file.
      zip_access::make_folder(below(folder, parts, parts.size()));
      return step::next;
    case zip_entry_kind::file:
      break;
  }
  const std::u16string target = below(folder, parts, parts.size());

  if (!can_decode(info) || unzOpenCurrentFile(handle_) != UNZ_OK) return step::stop;
  if (!overwrite && zip_access::exists(target)) {
    unzCloseCurrentFile(handle_);
    return step::next;
  }
  zip_access::file_c out;
  bool created = out.create(target, overwrite);
  if (!created && parts.size() > 1) {
    (void)make_directories(below(folder, parts, parts.size() - 1));
    created = out.create(target, overwrite);
  }
  if (!created) {
    // A name the system refuses ('?' in it, a path too long) leaves the
    // package without one of its files: what was extracted is not it.
    unzCloseCurrentFile(handle_);
    return step::stop;
  }
  const bool copied = copy_entry(handle_, out, buffer, info);
  // Closing the entry is where a wrong checksum shows. A file that did not
  // come out whole is removed: left there, it would pass as extracted, and
  // a later extraction, which keeps existing files, would keep it too.
  const bool closed = out.close();
  if (unzCloseCurrentFile(handle_) != UNZ_OK || !closed || !copied) {
    platform::remove_file(target);
    return step::stop;
  }
  // A time that cannot be set leaves the file as whole as it is.
  (void)set_file_time(target, info.dosDate);
  ++extraction.extracted;
  return step::next;
}

// --- zip_archive_c ---------------------------------------------------------

zip_archive_c::~zip_archive_c() { (void)close(); }

outcome zip_archive_c::create(const std::u16string& path, bool append) {
  (void)close();
  handle_ = zip_access::open_for_writing(path, append ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE);
  return handle_ ? outcome::done() : outcome::failed(zip_failed, "the archive cannot be written there");
}

outcome zip_archive_c::add_file(const std::u16string& source, const std::string& name_in_archive) {
  zip_fileinfo entry = {};
  uint32_t time = 0;
  if (file_dos_time(source, time)) entry.dosDate = time;
  uint64_t size = 0;
  const bool zip64 = zip_access::file_size(source, size) && size >= zip64_threshold;

  std::string name;
  if (name_in_archive.empty()) {
    const size_t cut = source.find_last_of(u"\\/");
    name = to_ansi(cut == std::u16string::npos ? std::u16string_view(source) : std::u16string_view(source).substr(cut + 1));
  } else {
    name = name_in_archive.substr(std::min(name_in_archive.find_first_not_of("\\/"), name_in_archive.size()));
  }

  int result = zipOpenNewFileInZip3_64(handle_, name.c_str(), &entry, nullptr, 0, nullptr, 0, nullptr,
                                       level_ != 0 ? Z_DEFLATED : 0, level_, 0, -MAX_WBITS, deflate_memory_level,
                                       Z_DEFAULT_STRATEGY, nullptr, 0, zip64 ? 1 : 0);
  if (result != ZIP_OK) return outcome::failed(zip_failed, "the entry cannot be begun");
  // A failed entry stays open: the library closes it when the next entry
  // begins or the archive is closed, so the archive stays usable.
  zip_access::file_c file;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[add_buffer_size]);
  if (!buffer || !file.open_for_reading(source)) return outcome::failed(zip_failed, "the file cannot be read");
  for (;;) {
    const int64_t got = file.read(buffer.get(), add_buffer_size);
    if (got < 0) return outcome::failed(zip_failed, "the file cannot be read");
    if (got > 0) result = zipWriteInFileInZip(handle_, buffer.get(), static_cast<unsigned>(got));
    if (result != ZIP_OK) return outcome::failed(zip_failed, "the entry cannot be written");
    if (static_cast<size_t>(got) < add_buffer_size) break;
  }
  result = zipCloseFileInZip(handle_);
  return result == ZIP_OK ? outcome::done() : outcome::failed(result, "the entry cannot be finished");
}

outcome zip_archive_c::close() {
  if (!handle_) return outcome::done();
  const int result = zipClose(handle_, nullptr);
  handle_ = nullptr;
  return result == ZIP_OK ? outcome::done() : outcome::failed(zip_failed, "the archive's directory cannot be written");
}

// --- free helpers ----------------------------------------------------------

outcome make_directories(const std::u16string& path) {
  try {
    if (path.empty()) return outcome::failed(zip_failed, "no folder named");
    std::u16string copy(path);
    if (copy.back() == u'/') copy.pop_back();
    if (zip_access::make_folder(copy) == zip_access::folder_result::made) return outcome::done();
    for (size_t i = 1; i <= copy.size(); ++i) {
      if (i < copy.size() && !is_separator(copy[i])) continue;
      if (zip_access::make_folder(copy.substr(0, i)) == zip_access::folder_result::parent_missing) {
        return outcome::failed(zip_failed, "a parent folder cannot be made");
      }
    }
    return outcome::done();
  } catch (const std::bad_alloc&) {
    return outcome::failed(UNZ_INTERNALERROR, "out of memory");
  }
}

outcome file_crc32(const std::u16string& path, uint32_t& crc, size_t buffer_size) {
  crc = 0;
  // zlib takes lengths of 32 bits.
  buffer_size = std::min<size_t>(buffer_size, 1u << 30);
  zip_access::file_c file;
  if (buffer_size == 0 || !file.open_for_reading(path)) return outcome::failed(zip_failed, "the file cannot be read");
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[buffer_size]);
  if (!buffer) return outcome::failed(zip_failed, "out of memory");
  uLong value = crc32(0, nullptr, 0);
  for (;;) {
    const int64_t got = file.read(buffer.get(), buffer_size);
    if (got < 0) return outcome::failed(zip_failed, "the file cannot be read");
    value = crc32(value, buffer.get(), static_cast<uInt>(got));
    if (static_cast<size_t>(got) < buffer_size) break;
  }
  crc = static_cast<uint32_t>(value);
  return outcome::done();
}

outcome set_file_time(const std::u16string& path, uint32_t dos_date_time) {
  if (zip_access::write_file_time(path, dos_date_time)) return outcome::done();
  return outcome::failed(zip_failed, "the file's time cannot be set");
}

outcome file_dos_time(const std::u16string& path, uint32_t& dos_date_time) {
  if (zip_access::read_file_dos_time(path, dos_date_time)) return outcome::done();
  return outcome::failed(zip_failed, "the file's time cannot be read");
}

namespace zip_access {

bool dos_to_fields(uint32_t dos, dos_fields& out) {
  out.year = 1980 + static_cast<int>(dos >> 25);
  out.month = static_cast<int>((dos >> 21) & 0x0F);
  out.day = static_cast<int>((dos >> 16) & 0x1F);
  out.hour = static_cast<int>((dos >> 11) & 0x1F);
  out.minute = static_cast<int>((dos >> 5) & 0x3F);
  out.second = static_cast<int>(dos & 0x1F) * 2;
  static const int days_in_month[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (out.month < 1 || out.month > 12 || out.day < 1 || out.hour > 23 || out.minute > 59 || out.second > 59) {
    return false;
  }
  const bool leap = out.year % 4 == 0 && (out.year % 100 != 0 || out.year % 400 == 0);
  return out.day <= days_in_month[out.month - 1] && (out.month != 2 || out.day <= 28 || leap);
}

uint32_t fields_to_dos(const dos_fields& f) {
  if (f.year < 1980) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  if (f.year > 2107) return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  const uint32_t date = (static_cast<uint32_t>(f.year - 1980) << 9) | (static_cast<uint32_t>(f.month) << 5) |
                        static_cast<uint32_t>(f.day);
  const uint32_t time = (static_cast<uint32_t>(f.hour) << 11) | (static_cast<uint32_t>(f.minute) << 5) |
                        static_cast<uint32_t>(f.second / 2);
  return (date << 16) | time;
}

}  // namespace zip_access
}  // namespace quillary
