// Where things go on the download page and in its panels, apart from any
// window: the header band with the two choices, the list and the bar below
// it, the side column with the chart, and a panel's rows.
#pragma once

#include <cstddef>
#include <string_view>

#include "ui/skin/button_geometry.h"

namespace quillary {

constexpr int download_header_height = 56;
constexpr int download_bar_height = 50;
constexpr int download_side_width = 250;

struct download_page_layout {
  skin_box header;      // the band across the top
  skin_box header_text; // room for the count text, left of the choices
  skin_box hidden_link; // under the text, while updates are hidden
  skin_box best_choice;
  skin_box latest_choice;
  skin_box list;
  skin_box bar;
  skin_box side;        // the column at the right, below the band
  skin_box score;       // title and figure, above the chart
  skin_box pie;
  skin_box legend;      // four lines
  skin_box whql;        // the paragraph, ending above the link
  skin_box faq_link;
};

// `wide_choices`: the languages whose choice labels need 30 more pixels
// (French, Spanish, Portuguese, Dutch).
download_page_layout place_download_page(int width, int height, bool wide_choices);
bool has_wide_choices(std::string_view language_code);

// A panel: the class line, two lines per device, then the status row.
namespace download_panel_metrics {
constexpr int margin = 8;
constexpr int class_line = 22;
constexpr int device_line = 17;  // each of the device's two lines
constexpr int device_gap = 4;
constexpr int status_row = 34;
constexpr int text_left = 34;  // device lines, right of the status picture
constexpr int button_width = 90;
constexpr int button_height = 24;
constexpr int button_right = 10;  // from the panel's right edge
}  // namespace download_panel_metrics

int download_panel_height(size_t device_count);

struct panel_status_row {
  skin_box check;
  skin_point whql;
  skin_box progress;
  skin_box status_text;  // starts 250 pixels from the right edge, 260 for French
  skin_box button;       // measured from the right edge, as the button's own rectangle is
};
panel_status_row place_status_row(int width, size_t device_count, bool french);

// The top of device `index`'s first line.
int device_line_top(size_t index);

}  // namespace quillary
