// How the pages install and restore: through the process's rights, or the
// elevated companion beside the program (one prompt per batch).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "backup/installation_batch.h"

namespace quillary {

struct ui_context;

// The runner for a batch whose prompt belongs to `owner`'s top window, with
// the program's elevator and the keys its downloads are checked against.
batch_runner page_batch_runner(HWND owner, const ui_context& context);

// The backup made before each installation of a batch, into the user's
// backup folder, with the question about a failed one asked by `page` (the
// download page); none where the program knows no driver store.
std::shared_ptr<install_backup_step> install_backup_step_for(const ui_context& context, HWND page);

// What tells the download page that an installation batch has ended.
std::function<void()> installations_ended_notice(HWND page);

}  // namespace quillary
