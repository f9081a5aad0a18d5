#include "app/command_line.h"

#include "platform/text.h"

namespace quillary {

start_switch start_switch_of(const std::vector<std::u16string>& arguments) {
  if (arguments.size() != 2) return start_switch::none;
  if (equal_ignore_case(arguments[1], u"--autorun")) return start_switch::autorun;
  if (equal_ignore_case(arguments[1], u"--autoscan")) return start_switch::autoscan;
  return start_switch::none;
}

bool hands_over_scan(const std::vector<std::u16string>& arguments) {
  return start_switch_of(arguments) == start_switch::autorun;
}

}  // namespace quillary
