#pragma once

#include <string>

namespace quillary {

// The folder of the program's executable, without a trailing separator except
// for a root folder; empty when the path cannot be read or has no folder.
std::u16string program_folder();

// Makes the program's folder the current directory, so that "language.ini"
// and the default folders resolve against it. Leaves the current directory as
// it was when there is no program folder.
void enter_program_folder();

}  // namespace quillary
