#include "download/cab_archive.h"

#include <utility>
#include <vector>

#include "base/zip_entry_name.h"
#include "download/zip_file_access.h"
#include "platform/cabinet.h"
#include "platform/files.h"

namespace quillary {
namespace {

using platform::cabinet_status;
using platform::cabinet_target;

// `folder` joined with the first `count` parts.
std::u16string below(const std::u16string& folder, const std::vector<std::u16string_view>& parts, size_t count) {
  std::u16string path = folder;
  for (size_t i = 0; i < count; ++i) {
    if (path.empty() || (path.back() != u'/' && path.back() != u'\\')) path += zip_access::separator;
    path += parts[i];
  }
  return path;
}

struct placed_file {
  std::u16string path;
  uint32_t dos_date_time = 0;
};

}  // namespace

zip_extraction extract_cabinet(const std::u16string& cabinet, const std::u16string& folder) {
  zip_extraction extraction;
  if (!zip_access::is_absolute(folder)) {
    extraction.result = outcome::failed(zip_failed, "the folder is no absolute path");
    return extraction;
  }
  (void)make_directories(folder);
  if (!platform::is_directory(folder)) {
    extraction.result = outcome::failed(zip_failed, "the folder cannot be made");
    return extraction;
  }
  // In the order given to the reader: the first `written` of them came out.
  std::vector<placed_file> placed;
  const platform::cabinet_walk walk =
      platform::walk_cabinet(cabinet, [&](const platform::cabinet_file& file) -> cabinet_target {
        const zip_entry_path entry = zip_entry_path_of(file.name);
        switch (entry.kind) {
          case zip_entry_kind::none:
            return {};
          case zip_entry_kind::refused:
            ++extraction.skipped_unsafe;
            return {};
          case zip_entry_kind::folder:
            // A cabinet lists files only; a name ending in a separator
            // names a folder, as in a zip archive.
            (void)make_directories(below(folder, entry.parts, entry.parts.size()));
            return {};
          case zip_entry_kind::file:
            break;
        }
        std::u16string target = below(folder, entry.parts, entry.parts.size());
        // An earlier file of the same name stays, as extraction never
        // overwrites.
        if (zip_access::exists(target)) return {};
        if (entry.parts.size() > 1) (void)make_directories(below(folder, entry.parts, entry.parts.size() - 1));
        placed.push_back({target, file.dos_date_time});
        return {cabinet_target::kind::file, std::move(target), nullptr};
      });
  for (size_t i = 0; i < walk.written && i < placed.size(); ++i) {
    // A time that cannot be set leaves the file as whole as it is.
    (void)set_file_time(placed[i].path, placed[i].dos_date_time);
  }
  extraction.extracted = walk.written;
  extraction.stopped_early = walk.status != cabinet_status::done;
  return extraction;
}

zip_reading read_cabinet(const std::u16string& cabinet, const zip_entry_sink& sink) {
  zip_reading reading;
  const platform::cabinet_walk walk =
      platform::walk_cabinet(cabinet, [&](const platform::cabinet_file& file) -> cabinet_target {
        // Every file is read to its end, the ones no sink takes too: that
        // is what checks them.
        return {cabinet_target::kind::sink, {}, sink ? sink(file.name) : nullptr};
      });
  if (walk.status == cabinet_status::not_a_cabinet) {
    reading.result = outcome::failed(zip_failed, "no cabinet can be read there");
    return reading;
  }
  reading.entries = walk.written;
  reading.damaged = walk.status != cabinet_status::done;
  if (reading.damaged) reading.damaged_entry = walk.failed_file;
  return reading;
}

}  // namespace quillary
