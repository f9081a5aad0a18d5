// The backup page: the driver-store packages of the devices of the last
// scan, vendor drivers and those that came with Windows, each with a box;
// the ticked ones go into archives in the backup folder on a worker.
#pragma once

#include "ui/pages/backup_tree.h"
#include "ui/pages/tree_page_win32.h"
#include "ui/window/background_job.h"

namespace quillary {

class backup_window_c : public tree_page_c {
 public:
  explicit backup_window_c(ui_context& context);
  bool create(HWND parent, const RECT& rect) { return tree_page_c::create(parent, rect, L"BackupWindow"); }

  // The backup's outcome is delivered with this message (WPARAM: its run).
  static constexpr UINT job_done_message = WM_APP + 2;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void fill_tree() override;
  void box_toggled(HTREEITEM item) override;
  void action_clicked() override;
  const char* info_heading() const override { return "device_detail_driver_information"; }
  std::vector<info_line> info_lines(LPARAM selected) const override;
  const char* settings_heading() const override { return "backup_settings"; }

 private:
  void job_done(uint64_t run);
  void add_group(const char* key, const std::vector<backup_tree_package>& packages, bool expand);

  backup_tree_plan plan_;
  background_job_c<int32_t> job_;
};

}  // namespace quillary
