#include "ui/skin/pie_chart_model.h"

#include <algorithm>
#include <cmath>

namespace quillary {
namespace {

constexpr float pi = 3.14159265358979f;

uint32_t channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

float normalised(float degrees) {
  float d = std::fmod(degrees, 360.0f);
  return d < 0 ? d + 360.0f : d;
}

}  // namespace

uint32_t lighten_colour(uint32_t argb, int amount) {
  uint32_t result = 0xFF000000;
  for (int shift : {16, 8, 0}) {
    const int c = static_cast<int>(channel(argb, shift));
    const int lighter = std::min(255, c + amount * (255 - c) / 255);
    result |= static_cast<uint32_t>(lighter) << shift;
  }
  return result;
}

uint32_t darken_colour(uint32_t argb, int amount) {
  uint32_t result = 0xFF000000;
  for (int shift : {16, 8, 0}) {
    const int c = static_cast<int>(channel(argb, shift));
    const int darker = std::max(0, c - amount * c / 255);
    result |= static_cast<uint32_t>(darker) << shift;
  }
  return result;
}

pie_slice* pie_chart_model::add_slice(const std::u16string& name, const std::u16string& label,
                                      double value, uint32_t colour) {
  if (name.empty() || find_slice(name) || !(value > 0)) return nullptr;
  auto slice = std::make_unique<pie_slice>();
  slice->name = name;
  slice->label = label;
  slice->value = value;
  slice->colour = colour;
  slice->light_colour = lighten_colour(colour, 120);
  slice->dark_colour = darken_colour(colour, 10);
  slice->order = next_order_++;
  slices_.push_back(std::move(slice));
  total_ += value;
  recompute();
  return slices_.back().get();
}

pie_slice* pie_chart_model::find_slice(const std::u16string& name) {
  for (auto& slice : slices_) {
    if (slice->name == name) return slice.get();
  }
  return nullptr;
}

void pie_chart_model::clear() {
  slices_.clear();
  total_ = 0;
  next_order_ = 0;
}

void pie_chart_model::recompute() {
  for (auto& slice : slices_) {
    slice->fraction = static_cast<float>(slice->value / total_);
    slice->sweep = slice->fraction * 360.0f;
  }
}

void pie_chart_model::set_tilt(float degrees) { tilt_ = std::clamp(degrees, 0.0f, 89.0f); }

void pie_chart_model::set_thickness(float value, int pie_height) {
  if (value < 0) return;
  const int divisor = pie_height * 89 / 180;
  if (divisor <= 0) return;
  thickness_ = value / static_cast<float>(divisor);
}

void pie_chart_model::set_explode(pie_slice& slice, int percent, int pie_width) {
  slice.explode = percent * pie_width / 100;
}

pie_box pie_chart_model::computed_pie_rect(const pie_box& client, int list_width) {
  pie_box r = client;
  r.top += 100;
  r.left += 30;
  r.bottom -= 30;
  r.right = list_width - 10;
  if (r.width() < r.height()) {
    const int height = r.height();
    r.right = std::max(r.right, r.left + 150);
    const int side = r.width();
    r.top += (height - side) / 2;
    r.bottom = r.top + side;
  } else {
    r.bottom = std::max(r.bottom, r.top + 150);
    r.right = r.left + (r.bottom - r.top);
  }
  if (r.height() % 2 != 0) {
    r.right += 1;
    r.bottom += 1;
  }
  return r;
}

pie_box pie_chart_model::pie_rect(const pie_box& client) const {
  return fixed_pie_.empty() ? computed_pie_rect(client, list_width) : fixed_pie_;
}

void pie_chart_model::resize(const pie_box& client) {
  list_width = std::max(client.width() * 2 / 3, 180);
  const pie_box pie = pie_rect(client);
  row_height = std::min(pie.height() / 15, 25);
  spacing = std::min(pie.height() / 20, 18);
}

int pie_chart_model::list_height() const {
  const int rows = static_cast<int>(slices_.size());
  return std::max(0, rows * (row_height + spacing) - spacing);
}

std::vector<slice_arc> pie_chart_model::arcs() const {
  std::vector<slice_arc> result;
  float angle = start_angle_;
  for (const auto& slice : slices_) {
    result.push_back({angle, slice->sweep});
    angle = normalised(angle + slice->sweep);
  }
  return result;
}

int pie_chart_model::slice_at_angle(float angle) const {
  const auto all = arcs();
  for (size_t i = 0; i < all.size(); ++i) {
    const float into = normalised(angle - all[i].start);
    if (into < all[i].sweep) return static_cast<int>(i);
  }
  // Rounding can leave a hair's gap at the last boundary: the last slice
  // closes the circle.
  return all.empty() ? -1 : static_cast<int>(all.size()) - 1;
}

int pie_chart_model::nearest_slice() const { return slice_at_angle(90.0f); }
int pie_chart_model::farthest_slice() const { return slice_at_angle(270.0f); }

std::vector<int> pie_chart_model::drawing_order() const {
  std::vector<int> order;
  if (slices_.empty()) return order;
  const int far_index = farthest_slice(), near_index = nearest_slice();
  const auto all = arcs();
  std::vector<int> middle;
  for (int i = 0; i < static_cast<int>(slices_.size()); ++i) {
    if (i != far_index && i != near_index) middle.push_back(i);
  }
  // Between the two, a slice is the nearer the lower its middle lies on
  // the screen.
  std::stable_sort(middle.begin(), middle.end(), [&](int a, int b) {
    return std::sin(all[a].middle() * pi / 180) < std::sin(all[b].middle() * pi / 180);
  });
  order.push_back(far_index);
  order.insert(order.end(), middle.begin(), middle.end());
  if (near_index != far_index) order.push_back(near_index);
  return order;
}

float pie_chart_model::wall_height(int pie_height) const {
  return thickness_ * static_cast<float>(pie_height) * tilt_ / 180.0f;
}

float pie_chart_model::squash() const { return std::cos(tilt_ * pi / 180.0f); }

}  // namespace quillary
