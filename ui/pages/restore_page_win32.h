// The restore page: the archives of the backup catalogue with the devices
// each serves; the one ticked archive is unpacked and handed to the driver
// package installer on a worker.
#pragma once

#include <memory>

#include "backup/backup_catalogue.h"
#include "backup/installation_batch.h"
#include "ui/pages/backup_tree.h"
#include "ui/pages/tree_page_win32.h"
#include "ui/window/background_job.h"

namespace quillary {

class restore_window_c : public tree_page_c {
 public:
  explicit restore_window_c(ui_context& context);
  bool create(HWND parent, const RECT& rect) { return tree_page_c::create(parent, rect, L"RestoreWindow"); }

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void fill_tree() override;
  void box_toggled(HTREEITEM item) override;
  void action_clicked() override;
  const char* info_heading() const override { return "backup_info"; }
  std::vector<info_line> info_lines(LPARAM selected) const override;
  const char* settings_heading() const override { return "restore_settings"; }

 private:
  // Posted when the page was shown with an empty catalogue: the box waits
  // until the page is on screen.
  static constexpr UINT no_backup_message = WM_USER + 101;
  // The restore's outcome is delivered with this message (WPARAM: its
  // run), to tell why nothing was started, or of its restore point.
  static constexpr UINT job_done_message = WM_APP + 3;
  void job_done(uint64_t run);

  std::vector<catalogue_entry> entries_;
  std::vector<restore_tree_archive> plan_;
  background_job_c<entry_outcome> job_;
};

}  // namespace quillary
