// The results chart of the download page: named, valued slices drawn as a
// tilted three-dimensional pie with GDI+ into an off-screen bitmap. The
// arithmetic lives in pie_chart_model; this is its window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/skin/pie_chart_model.h"
#include "ui/window/window_win32.h"

namespace quillary {

class CPieChart : public window_c {
 public:
  CPieChart() = default;
  ~CPieChart() override;

  // A visible child window of `parent`.
  HWND create(HWND parent, const std::u16string& name, const RECT& rect, UINT id = 0);

  pie_slice* add_slice(const std::u16string& name, const std::u16string& label, double value,
                       uint32_t argb);
  pie_slice* find_slice(const std::u16string& name) { return model_.find_slice(name); }
  void clear_slices();
  void set_tilt(float degrees);
  void set_thickness(float value);
  void set_labels(bool on);
  void set_background(uint32_t argb);
  void set_pie_rect(const RECT& rect);
  void set_explode(pie_slice* slice, int percent);

  const pie_chart_model& model() const { return model_; }
  pie_box pie_rect() const;
  HWND scroll_bar() const { return scroll_bar_; }
  int scroll_position() const { return scroll_position_; }

  // Draws the chart into `dc` (the client area's size), as painting does.
  void render(HDC dc);

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  // Drawn through a GDI+ bitmap of its own: direct to the window.
  painting paint_style() const override { return painting::direct; }
  void on_paint(HDC dc, const RECT&) override { render(dc); }
  // The painting covers everything.
  bool on_erase_background(HDC) override { return true; }
  bool on_size(UINT kind, int width, int height) override;

 private:
  void on_create();
  void lay_out_list();
  void on_scroll(int code);
  void repaint();
  pie_box client_box() const;

  pie_chart_model model_;
  HWND scroll_bar_ = nullptr;
  int scroll_position_ = 0;
  ULONG_PTR gdiplus_token_ = 0;
};

}  // namespace quillary
