// How the pages install and restore: through the process's rights, or the
// elevated companion beside the program (one prompt per batch).
#pragma once

#include <windows.h>

#include "backup/installation_batch.h"

namespace quillary {

// The runner for a batch whose prompt belongs to `owner`'s top window.
batch_runner page_batch_runner(HWND owner);
// What tells the rights and starts the companion: the system's own unless
// a test build sets another before the first page is made.
void set_page_elevator(elevator_i* elevator);
elevator_i& page_elevator();

}  // namespace quillary
