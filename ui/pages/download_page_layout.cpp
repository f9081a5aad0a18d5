#include "ui/pages/download_page_layout.h"

#include <algorithm>

namespace quillary {

bool has_wide_choices(std::string_view code) {
  return code == "fr" || code == "es" || code == "pt" || code == "nl";
}

download_page_layout place_download_page(int width, int height, bool wide_choices) {
  download_page_layout l;
  const int wider = wide_choices ? 30 : 0;
  const int right = width;
  l.header = {0, 0, width, download_header_height};
  const int choice_top = (download_header_height - 20) / 2;
  l.best_choice = {right - 460 - wider, choice_top, right - 350, choice_top + 20};
  l.latest_choice = {right - 340 - wider, choice_top, right - 260, choice_top + 20};
  l.header_text = {15, 0, std::max(15, l.best_choice.left - 10), download_header_height};
  l.hidden_link = {15, download_header_height - 19, l.header_text.right, download_header_height - 3};

  const int list_right = std::max(0, width - download_side_width);
  const int bar_top = std::max(download_header_height, height - download_bar_height);
  l.list = {0, download_header_height, list_right, bar_top};
  l.bar = {0, bar_top, list_right, std::max(bar_top, height)};
  l.side = {list_right, download_header_height, width, std::max(download_header_height, height)};

  l.score = {right - 239, download_header_height + 8, right - 11, 121};
  l.pie = {right - 239, 121, right - 239 + 228, 121 + 109};
  l.legend = {right - 239, l.pie.bottom + 8, right - 11, l.pie.bottom + 8 + 4 * 18};
  l.faq_link = {right - 130, 411, right - 130 + 120, 411 + 19};
  l.whql = {right - 239, l.legend.bottom + 6, right - 11, l.faq_link.top - 4};
  return l;
}

int download_panel_height(size_t device_count) {
  using namespace download_panel_metrics;
  const int rows = static_cast<int>(std::min<size_t>(device_count, 4096));
  return margin + class_line + rows * (2 * device_line + device_gap) + status_row + margin;
}

int device_line_top(size_t index) {
  using namespace download_panel_metrics;
  return margin + class_line + static_cast<int>(index) * (2 * device_line + device_gap);
}

panel_status_row place_status_row(int width, size_t device_count, bool french) {
  using namespace download_panel_metrics;
  panel_status_row row;
  const int top = device_line_top(std::min<size_t>(device_count, 4096));
  const int middle = top + status_row / 2;
  row.check = {12, middle - 7, 26, middle + 7};
  row.whql = {text_left, middle - 7};
  const int status_left = width - (french ? 260 : 250);
  row.progress = {text_left + 44, middle - 9, std::max(text_left + 44, status_left - 12), middle + 9};
  row.status_text = {status_left, middle - 8, std::max(status_left, width - button_right - button_width - 6),
                     middle + 8};
  row.button = {button_right, middle - button_height / 2, button_right + button_width,
                middle - button_height / 2 + button_height};
  return row;
}

}  // namespace quillary
