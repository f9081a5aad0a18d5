// The home page: the banner with the three steps, the large start button,
// the foot line and the side bar with the system summary. The start button
// asks the main window for a scan.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ui/pages/side_bar_win32.h"
#include "ui/ui_context.h"
#include "ui/skin/button_win32.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class home_window_c : public window_c {
 public:
  explicit home_window_c(ui_context& context) : side_bar_(context.system) {}
  // A hidden child of `parent` filling `rect`.
  bool create(HWND parent, const RECT& rect, bool visible);

  // The page's texts, the start button and the side bar, for screen readers.
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int id) override;

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::buffered; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_size(UINT kind, int width, int height) override;

 private:
  void start_clicked();

  skin_image_c banner_;
  skin_image_c footer_rule_;
  skin_image_c footer_icon_;
  side_bar_c side_bar_;
  std::vector<std::unique_ptr<button_c<home_window_c>>> buttons_;
  bool tracking_ = false;
};

}  // namespace quillary
