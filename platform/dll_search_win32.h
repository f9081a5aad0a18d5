// Where the process looks for a DLL it loads by name.
#pragma once

namespace quillary::platform {

// From here on, DLLs loaded by name come from System32 only: not from the
// program's folder, nor from the current directory. The system DLLs the
// program loads with their first call (delay-loaded) would otherwise be
// found first in the program's folder, where a file planted beside the
// program would run with its rights, and the companion runs elevated.
// Called first thing by each entry point; the DLLs of the import table are
// loaded before it, from the system's own list of known DLLs or System32.
void load_dlls_from_system32_only();

}  // namespace quillary::platform
