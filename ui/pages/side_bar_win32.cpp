#include "ui/pages/side_bar_win32.h"

#include <algorithm>
#include <string>

#include "app/language.h"
#include "app/system_info.h"
#include "resources/resource_ids.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/pages/home_layout.h"
#include "ui/pages/scan_status.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {
namespace {

constexpr int first_row_top = 100;
constexpr int row_gap = 20;
constexpr int right_margin = 5;

constexpr const char* row_labels[] = {"sidebar_model",   "sidebar_os",    "sidebar_cpu",    "sidebar_memory",
                                      "sidebar_display", "sidebar_sound", "sidebar_storage"};

}  // namespace

void side_bar_c::load(HINSTANCE instance) { heading_.load(instance, bitmap_side_bar_header); }

int side_bar_c::widest_label(HDC dc) {
  int widest = 0;
  for (const char* key : row_labels) widest = std::max<int>(widest, text_extent(dc, text_of(key), font_verdana_8).cx);
  return widest;
}

void side_bar_c::paint(HDC dc, const RECT& client, int indent) const {
  const int left = client.right - side_bar_width;
  RECT bar{left, 0, client.right, client.bottom};
  HBRUSH ground = CreateSolidBrush(colour_of(colour_role::side_bar));
  FillRect(dc, &bar, ground);
  DeleteObject(ground);
  RECT edge{left, 0, left + 1, client.bottom};
  HBRUSH line = CreateSolidBrush(colour_of(colour_role::side_bar_edge));
  FillRect(dc, &edge, line);
  DeleteObject(line);

  heading_.draw(dc, client.right - 247, 5);
  draw_text_at(dc, text_of("sidebar_system_info"), client.right - 193, 28, font_verdana_10_bold,
               colour_of(colour_role::heading));

  // Until the summary's queries have finished, the rows show their labels.
  static const system_summary nothing;
  const auto& summary = system_.summary_ready() ? system_.snapshot().summary : nothing;
  const std::u16string* values[] = {&summary.model,   &summary.os_name, &summary.processor, &summary.memory,
                                    &summary.display, &summary.sound,   &summary.disk};
  int top = first_row_top;
  rows_.clear();
  for (size_t i = 0; i < std::size(row_labels); ++i) {
    const std::u16string& label = text_of(row_labels[i]);
    draw_text_at(dc, label, left + side_bar_label_inset, top, font_verdana_8, colour_of(colour_role::side_bar_text));
    const int label_height = text_extent(dc, label, font_verdana_8).cy;
    RECT column{left + indent, top, client.right - right_margin, client.bottom};
    if (values[i]->empty()) {
      column.bottom = top + label_height;
    } else {
      draw_paragraph(dc, *values[i], column, font_verdana_8, colour_of(colour_role::side_bar_text), 2);
    }
    const int bottom = std::max<int>(column.bottom, top + label_height);
    rows_.emplace_back(top, bottom);
    top = bottom + row_gap;
  }
}

void side_bar_c::add_parts(std::vector<accessible_item>& parts, const RECT& client) const {
  const int left = client.right - side_bar_width;
  accessible_item heading;
  heading.role = accessible_role::static_text;
  heading.name = text_of("sidebar_system_info");
  heading.state = accessible_state::read_only;
  heading.rect = {client.right - 193, 28, client.right - right_margin, 44};
  parts.push_back(std::move(heading));
  static const system_summary nothing;
  const auto& summary = system_.summary_ready() ? system_.snapshot().summary : nothing;
  const std::u16string* values[] = {&summary.model,   &summary.os_name, &summary.processor, &summary.memory,
                                    &summary.display, &summary.sound,   &summary.disk};
  for (size_t i = 0; i < std::size(row_labels); ++i) {
    accessible_item row;
    row.role = accessible_role::static_text;
    row.name = text_of(row_labels[i]);
    row.value = *values[i];
    row.state = accessible_state::read_only;
    const auto [top, bottom] = i < rows_.size() ? rows_[i] : std::pair<int, int>{0, 0};
    row.rect = {left, top, client.right, bottom};
    parts.push_back(std::move(row));
  }
}

}  // namespace quillary
