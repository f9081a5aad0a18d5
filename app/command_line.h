// The two switches of the program's command line. Only a command line of
// exactly two elements (the program and one argument) is looked at; the
// argument is compared without regard to case.
#pragma once

#include <string>
#include <vector>

namespace quillary {

enum class start_switch {
  none,
  autorun,   // from the weekly task: a running instance scans
  autoscan,  // a first start scans as soon as its window exists
};

start_switch start_switch_of(const std::vector<std::u16string>& arguments);

// Whether a second start hands a scan request to the running instance.
bool hands_over_scan(const std::vector<std::u16string>& arguments);

}  // namespace quillary
