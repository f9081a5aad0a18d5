#pragma once

namespace quillary {

// Makes the folder of the program's executable the current directory, so
// that "language.ini" and the default folders resolve against it. Leaves the
// current directory as it was when the path cannot be read or has no folder.
void enter_program_folder();

}  // namespace quillary
