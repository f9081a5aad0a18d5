// What the pie chart shows and where, apart from its window and GDI+:
// the slices with their fractions, sweeps and derived colours, the chart's
// settings, the pie's rectangle, the slice list's metrics, and the order in
// which the slices are drawn so that nearer ones cover farther ones.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillary {

struct pie_box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool operator==(const pie_box&) const = default;
};

// Colours are ARGB (0xAARRGGBB), as GDI+ takes them.
uint32_t lighten_colour(uint32_t argb, int amount);
uint32_t darken_colour(uint32_t argb, int amount);

struct pie_slice {
  std::u16string name;   // unique within the chart
  std::u16string label;
  double value = 0;
  float fraction = 0;    // value / sum of values
  float sweep = 0;       // degrees
  uint32_t colour = 0;
  uint32_t light_colour = 0;
  uint32_t dark_colour = 0;
  int explode = 0;       // pixels out from the centre
  int alpha = 255;
  int order = 0;         // insertion number
};

// Where one slice's arc lies, in degrees clockwise from the x-axis (with y
// down, 90 is the side nearest the viewer of the tilted pie).
struct slice_arc {
  float start = 0;
  float sweep = 0;
  float middle() const { return start + sweep / 2; }
};

class pie_chart_model {
 public:
  // Null when the name is empty or taken, or the value is not above 0.
  pie_slice* add_slice(const std::u16string& name, const std::u16string& label, double value,
                       uint32_t colour);
  pie_slice* find_slice(const std::u16string& name);
  void clear();
  const std::vector<std::unique_ptr<pie_slice>>& slices() const { return slices_; }
  double total() const { return total_; }

  void set_tilt(float degrees);  // kept within 0 ... 89
  float tilt() const { return tilt_; }
  // `value` over the pie height's 89/180 (whole pixels); negative values,
  // and pies too flat to divide by, change nothing.
  void set_thickness(float value, int pie_height);
  float thickness() const { return thickness_; }
  float start_angle() const { return start_angle_; }
  void set_start_angle(float degrees) { start_angle_ = degrees; }
  // `percent` of the pie's width.
  static void set_explode(pie_slice& slice, int percent, int pie_width);

  bool labels = true;
  int display_mode = 2;
  uint32_t background = 0xFFFFFFFF;

  // The pie's rectangle: the fixed one, or one made from the client area.
  void set_pie_rect(const pie_box& rect) { fixed_pie_ = rect; }
  pie_box pie_rect(const pie_box& client) const;
  static pie_box computed_pie_rect(const pie_box& client, int list_width);

  // Slice list metrics.
  int row_height = 20;
  int spacing = 10;
  int list_width = 200;
  int scroll_margin = 20;
  // Recomputes the metrics for a new client area.
  void resize(const pie_box& client);
  // Height of the whole slice list.
  int list_height() const;

  // Each slice's arc, in slice order, from the start angle.
  std::vector<slice_arc> arcs() const;
  // Indexes of the slice whose arc holds 90 degrees (nearest) and 270
  // degrees (farthest); -1 without slices.
  int nearest_slice() const;
  int farthest_slice() const;
  // Slice indexes in drawing order: the farthest first, then its
  // neighbours on both sides towards the front, the nearest last.
  std::vector<int> drawing_order() const;

  // The side wall's height in pixels for a pie `pie_height` high, and the
  // vertical radius factor of the tilted top face.
  float wall_height(int pie_height) const;
  float squash() const;

 private:
  void recompute();
  int slice_at_angle(float angle) const;

  std::vector<std::unique_ptr<pie_slice>> slices_;
  double total_ = 0;
  int next_order_ = 0;
  float tilt_ = 0;
  float thickness_ = 0.5f;
  float start_angle_ = 0;
  pie_box fixed_pie_;
};

}  // namespace quillary
