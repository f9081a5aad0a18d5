// One package on the download page: the devices it is for with their dates,
// and its download with a progress bar, a state and one action button that
// downloads, pauses, resumes or installs. The panel owns no download: it
// finds its package's session in the registry, so a download goes on while
// panels come and go.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "service/scan_result.h"
#include "download/download_session.h"
#include "download/installation.h"
#include "ui/skin/button_win32.h"
#include "ui/skin/panel_list_win32.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/ui_context.h"

namespace quillary {

class authenticode_i;
class shell_i;

// What the panels of one page share.
struct download_panel_context {
  ui_context* program = nullptr;
  // The download page: told when an installation batch ends.
  HWND page = nullptr;
  // The result the panels show; each panel keeps it as long as it lives.
  shared_scan_result result;
  shell_i* shell = nullptr;     // opens folders, Explorer and installers
  role_brush_c* tint_brush = nullptr;  // the background of a package not needed
  HBRUSH white_brush = nullptr;
  // The rows' pictures, by panel_status_image.
  const skin_image_c* status_pictures = nullptr;
  // The action button's pictures: normal, hover, pressed.
  const skin_image_c* button_pictures = nullptr;
  // Checks a setup program before this process starts it; none: no setup
  // program starts.
  authenticode_i* authenticode = nullptr;
};

class download_panel_c : public list_panel_c {
 public:
  download_panel_c(const update_package& group, const download_panel_context& context);
  ~download_panel_c() override;

  // Finds the session and makes the window's parts once it exists; false
  // when there is no session.
  bool prepare();

  // From the download-all bar: tick or untick (needed packages only), and
  // start the download when ticked and not yet running or done.
  void set_checked_from_bar(bool checked);
  void start_if_checked();
  // Ticked, downloaded, and not being installed: "download all" installs it
  // in its batch.
  bool ready_for_batch() const;
  // The package's job filled for an installation from this panel; null
  // while its installation runs.
  std::shared_ptr<install_job> prepared_job();
  // Shows the job's run and, once it ends, how it ended.
  void watch_job();
  // An installation batch ended (UM_INSTALLATIONS_ENDED): if it was this
  // panel's job's, how it ended.
  void installation_ended();

  const update_package& group() const { return group_; }
  download_session_c* session() const { return session_; }
  bool checked() const;

  // The package as a list item: its devices as its name; their dates, the
  // size, the progress and the state as its value; the check box and the
  // action button as its parts.
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override;

  static constexpr UINT_PTR progress_timer = 2;
  static constexpr UINT progress_interval_ms = 200;

 protected:
  window_class_info panel_class() const override;
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::buffered; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_timer(UINT_PTR id) override;
  void on_scale_changed() override;
  // The check box in the status row, at the panel's scale.
  void place_check_box();

 private:
  void paint_device(HDC dc, const offered_device& device, int top, int right);
  void paint_status_row(HDC dc, const RECT& client);
  void action_clicked();
  void start_download();
  void start_installation();
  void show_context_menu(int x, int y);
  void remove_download();
  void open_location();
  void hide_update();
  // Whether setup.dat lists the package: it was installed from here.
  bool installed_here() const;
  void roll_back();
  void show_details();
  void progress_tick();
  void start_timer();
  void report_installation_end();
  // The package's installation runs (started here or from a panel before).
  bool installing() const;

  update_package group_;
  download_panel_context context_;
  // What `group_` points into.
  shared_scan_result result_;
  download_session_c* session_ = nullptr;
  std::shared_ptr<install_job> job_;  // the session's
  bool watching_job_ = false;
  HWND check_box_ = nullptr;
  std::vector<std::unique_ptr<button_c<download_panel_c>>> buttons_;  // the action button
  bool tracking_ = false;
  bool timer_running_ = false;
  // Menus and message boxes run message loops of their own, in which a scan
  // may start and the list drop this panel: what runs after one asks first.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace quillary
