#include "app/program_folder.h"

#include "platform/files.h"

namespace quillary {

std::u16string program_folder() {
  const std::u16string path = platform::module_file_path();
  const size_t cut = path.rfind(platform::path_separator);
  if (path.empty() || cut == std::u16string::npos) return {};
  // A program in a root folder keeps the root's own separator.
  return path.substr(0, cut == 0 || path[cut - 1] == u':' ? cut + 1 : cut);
}

void enter_program_folder() {
  const std::u16string folder = program_folder();
  if (!folder.empty()) platform::set_current_directory(folder);
}

}  // namespace quillary
