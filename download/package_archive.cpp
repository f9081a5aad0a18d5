#include "download/package_archive.h"

#include <cstdio>

#include "download/cab_archive.h"
#include "platform/files.h"

namespace quillary {
namespace {

std::string first_bytes(const std::u16string& path) {
  std::string bytes(archive_header_size, '\0');
  std::FILE* file = platform::open_file(path, "rb");
  if (!file) return {};
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  std::fclose(file);
  return bytes;
}

}  // namespace

outcome package_archive_c::open(const std::u16string& path) {
  close();
  if (archive_format_of(first_bytes(path)) == archive_format::cabinet) {
    format_ = archive_format::cabinet;
    cabinet_path_ = path;
    return outcome::done();
  }
  outcome opened = zip_.open(path);
  if (opened) format_ = archive_format::zip;
  return opened;
}

zip_extraction package_archive_c::extract_all(const std::u16string& folder) {
  if (format_ == archive_format::cabinet) return extract_cabinet(cabinet_path_, folder);
  return zip_.extract_all(folder);
}

zip_reading package_archive_c::read_all(const zip_entry_sink& sink) {
  if (format_ == archive_format::cabinet) return read_cabinet(cabinet_path_, sink);
  return zip_.read_all(sink);
}

void package_archive_c::close() {
  zip_.close();
  cabinet_path_.clear();
  format_ = archive_format::unknown;
}

}  // namespace quillary
