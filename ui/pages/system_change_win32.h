// How the pages install and restore: through the process's rights, or the
// elevated companion beside the program (one prompt per batch).
#pragma once

#include <windows.h>

#include <functional>

#include "backup/installation_batch.h"

namespace quillary {

struct ui_context;

// The runner for a batch whose prompt belongs to `owner`'s top window, with
// the program's elevator and the keys its downloads are checked against.
batch_runner page_batch_runner(HWND owner, const ui_context& context);

// What tells the download page that an installation batch has ended.
std::function<void()> installations_ended_notice(HWND page);

}  // namespace quillary
