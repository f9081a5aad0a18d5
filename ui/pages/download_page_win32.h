// The download page: what the last scan found, one panel per offered
// package in a scrolling list, the choice between the service's best and
// latest offers in the header, the download-all bar under the list and, at
// the right, the machine's driver score with its chart. The main window
// hands it each scan's result.
#pragma once

#include <windows.h>

#include <cstdint>

#include "service/scan_result.h"
#include "ui/pages/download_counts.h"
#include "ui/pages/download_panel_win32.h"
#include "ui/skin/button_win32.h"
#include "ui/skin/panel_list_win32.h"
#include "ui/skin/pie_chart_win32.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/ui_context.h"
#include "backup/rollback.h"
#include "ui/window/background_job.h"
#include "ui/window/link_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class authenticode_i;
class shell_i;

// The bar under the list: "select all" and "download all".
class download_all_window_c : public window_c {
 public:
  ~download_all_window_c() override;
  bool create(HWND parent, const RECT& rect);
  HWND check_box() const { return check_box_; }
  static constexpr int check_box_id = 1;

  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::buffered; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_size(UINT kind, int width, int height) override;
  void on_scale_changed() override;
  bool on_command(int id, int code, HWND from) override;

 private:
  void download_all_clicked();

  HWND check_box_ = nullptr;
  std::vector<std::unique_ptr<button_c<download_all_window_c>>> buttons_;
  bool tracking_ = false;
  role_brush_c background_{colour_role::download_bar};
};

class download_window_c : public window_c {
 public:
  explicit download_window_c(ui_context& context) : context_(context), rollback_job_(context.work) {}
  ~download_window_c() override;
  bool create(HWND parent, const RECT& rect);

  // A scan finished: the page shows its result (and keeps it) until the
  // next one's.
  void take_result(shared_scan_result result);
  const shared_scan_result& result() const { return result_; }
  // Recounted each time the page is shown.
  int32_t out_of_date_count() const { return counts_.out_of_date; }
  // Where the focus goes when the page is shown: the list.
  HWND focus_target() const { return list_.handle() ? list_.handle() : handle(); }

  // The header, the choice of offers, the score with its chart and legend,
  // for screen readers (the list, the bar and the link answer for
  // themselves).
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override;

  static constexpr int best_choice_id = 1;
  static constexpr int latest_choice_id = 2;
  static constexpr int list_id = 3;
  static constexpr int chart_id = 4;
  static constexpr int faq_link_id = 5;
  static constexpr int hidden_link_id = 6;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::buffered; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_size(UINT kind, int width, int height) override;
  void on_scale_changed() override;
  bool on_command(int id, int code, HWND from) override;

 private:
  void rebuild();
  void choose(offer_choice choice);
  void lay_out();
  void recount();
  // The header's text with the count where it shows one.
  std::u16string header_line() const;
  void fill_chart();
  void download_all();
  // The header's link to the hidden updates: shown with their count while
  // the result has any; a click offers them all again.
  void update_hidden_link();
  void show_hidden_updates();
  // Undoing a package's installation, on a thread of its own; its end.
  void roll_back(const std::string& link);
  void roll_back_ended(uint64_t run);
  static constexpr UINT rollback_done_message = WM_APP + 7;
  bool hidden_link_shown() const;
  void paint_header(HDC dc, const RECT& client);
  void paint_side(HDC dc, const RECT& client);

  ui_context& context_;
  shared_scan_result result_;
  offer_choice choice_ = offer_choice::best;
  download_counts counts_;

  panel_list_c<download_panel_c> list_;
  download_all_window_c bar_;
  CPieChart chart_;
  link_c faq_;
  link_c hidden_link_;
  // What a roll back came to: why it was refused, or each backup's outcome.
  struct rollback_outcome {
    rollback_refusal refusal = rollback_refusal::none;
    std::vector<entry_outcome> outcomes;
  };
  background_job_c<rollback_outcome> rollback_job_;
  HWND best_ = nullptr;
  HWND latest_ = nullptr;
  role_brush_c header_brush_{colour_role::download_header_band};
  role_brush_c tint_brush_{colour_role::panel_tint};
  skin_image_c status_pictures_[3];
  skin_image_c button_pictures_[3];
  download_panel_context panels_;
};

}  // namespace quillary
