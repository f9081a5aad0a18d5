#include "platform/files.h"

namespace quillary::platform {

std::u16string join_path(const std::u16string& folder, const std::u16string& name) {
  std::u16string left(folder);
  while (!left.empty() && left.back() == path_separator) left.pop_back();
  size_t skip = 0;
  while (skip < name.size() && name[skip] == path_separator) ++skip;
  return left + path_separator + name.substr(skip);
}

}  // namespace quillary::platform
