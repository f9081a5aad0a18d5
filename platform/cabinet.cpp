#include "platform/cabinet.h"

#include <cstdio>

#include "base/archive_format.h"
#include "platform/files.h"

namespace quillary::platform {

cabinet_walk walk_cabinet(const std::u16string& path, const cabinet_chooser& choose) {
  std::string header(archive_header_size, '\0');
  std::FILE* file = open_file(path, "rb");
  if (!file) return walk_ended(cabinet_status::not_a_cabinet);
  header.resize(std::fread(header.data(), 1, header.size(), file));
  std::fclose(file);
  switch (check_cabinet_header(header)) {
    case cabinet_header_verdict::whole:
      return walk_cabinet_files(path, choose);
    case cabinet_header_verdict::not_cabinet:
      return walk_ended(cabinet_status::not_a_cabinet);
    case cabinet_header_verdict::in_a_set:
      return walk_ended(cabinet_status::in_a_set);
    case cabinet_header_verdict::too_short:
    case cabinet_header_verdict::unsupported:
      break;
  }
  return walk_ended(cabinet_status::damaged);
}

}  // namespace quillary::platform
