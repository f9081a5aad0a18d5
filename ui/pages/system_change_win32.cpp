#include "ui/pages/system_change_win32.h"

#include "app/program_folder.h"
#include "download/download_session.h"
#include "platform/files.h"

namespace quillary {
namespace {
elevator_i* test_elevator = nullptr;
}  // namespace

void set_page_elevator(elevator_i* elevator) { test_elevator = elevator; }

elevator_i& page_elevator() { return test_elevator ? *test_elevator : platform::system_elevator(); }

batch_runner page_batch_runner(HWND owner) {
  batch_runner runner;
  runner.elevator = &page_elevator();
  // The companion from the program's own folder, never one found elsewhere.
  runner.companion.program = program_folder() + u"\\quillary-cli.exe";
  runner.companion.work_folder = platform::temp_folder();
  runner.owner = reinterpret_cast<uintptr_t>(owner ? GetAncestor(owner, GA_ROOT) : nullptr);
  // Packages are checked against the keys the downloads were checked
  // against, once more just before they are extracted.
  runner.trust = download_sessions().trust();
  return runner;
}

}  // namespace quillary
