#include "ui/skin/palette.h"

#include "ui/skin/palette.h"

namespace quillary {

namespace {

using sc = system_colour;
using rk = role_kind;
using cr = colour_role;

// Lines and grounds name themselves as their ground.
#define GROUND(name, system) {skin_colour::name, sc::system, rk::ground, cr::name}
#define LINE(name, system) {skin_colour::name, sc::system, rk::line, cr::name}
#define TEXT(name, system, on) {skin_colour::name, sc::system, rk::text, cr::on}

// In colour_role's order. Headings, values and status lines all become the
// window's text: in a high-contrast scheme emphasis is the font's, not the
// colour's, and a status never relies on its colour alone.
constexpr colour_role_entry entries[colour_role_count] = {
    GROUND(caption_band, active_caption),
    LINE(outer_border, window_frame),
    TEXT(caption_title, caption_text, caption_band),
    TEXT(top_button_selected, highlight_text, button_active_ground),
    TEXT(button_text, button_text, button_ground),
    GROUND(message_background, window),
    TEXT(message_text, window_text, message_background),
    GROUND(page_ground, window),
    TEXT(plain_text, window_text, page_ground),
    TEXT(heading, window_text, page_ground),
    GROUND(side_bar, window),
    LINE(side_bar_edge, window_text),
    TEXT(side_bar_text, window_text, side_bar),
    TEXT(scan_waiting_text, window_text, page_ground),
    LINE(scan_progress_fill, highlight),
    LINE(tree_separator, window_text),
    TEXT(tree_heading, window_text, page_ground),
    TEXT(tree_label, window_text, page_ground),
    TEXT(tree_value, window_text, page_ground),
    GROUND(download_header_band, highlight),
    TEXT(download_header_text, highlight_text, download_header_band),
    TEXT(download_count, highlight_text, download_header_band),
    GROUND(download_bar, button_face),
    LINE(download_rule, window_text),
    TEXT(download_side_text, window_text, page_ground),
    TEXT(score_poor, window_text, page_ground),
    TEXT(score_good, window_text, page_ground),
    // The chart's slices: in high contrast each is told apart by its hatch.
    LINE(chart_out_of_date, window_text),
    LINE(chart_no_driver, window_text),
    LINE(chart_up_to_date, window_text),
    GROUND(panel_ground, window),
    GROUND(panel_tint, window),
    LINE(panel_frame, window_text),
    TEXT(panel_class_text, window_text, panel_ground),
    TEXT(panel_device_text, window_text, panel_ground),
    TEXT(panel_date_text, window_text, panel_ground),
    TEXT(panel_whql_text, window_text, panel_ground),
    LINE(panel_bar_frame, window_text),
    LINE(panel_bar_fill, highlight),
    GROUND(panel_bar_ground, window),
    TEXT(panel_status_text, window_text, panel_ground),
    TEXT(panel_error_text, window_text, panel_ground),
    GROUND(about_ground, button_face),
    TEXT(about_header_text, button_text, about_ground),
    TEXT(about_text, window_text, about_box),
    GROUND(about_box, window),
    GROUND(settings_ground, window),
    TEXT(settings_heading, window_text, settings_ground),
    GROUND(button_ground, button_face),
    GROUND(button_active_ground, highlight),
    LINE(button_frame, button_text),
    TEXT(button_disabled_text, gray_text, button_ground),
    TEXT(link_text, hot_light, page_ground),
};

// A role left out would shift those after it, or leave the last empty.
static_assert(entries[colour_role_count - 1].skin == skin_colour::link_text &&
              entries[colour_role_count - 1].system == sc::hot_light);

#undef GROUND
#undef LINE
#undef TEXT

// The skin's own values: the program's palette until the theme says
// otherwise.
class no_system_colours_c : public system_colours_i {
 public:
  uint32_t colour(system_colour) const override { return 0; }
};

}  // namespace

const colour_role_entry& colour_role_info(colour_role role) {
  return entries[static_cast<size_t>(role)];
}

bool system_pair_reads(system_colour ground, system_colour text) {
  switch (ground) {
    case sc::window:
      return text == sc::window_text || text == sc::gray_text || text == sc::hot_light;
    case sc::button_face:
      return text == sc::button_text || text == sc::gray_text;
    case sc::highlight:
      return text == sc::highlight_text;
    case sc::active_caption:
      return text == sc::caption_text;
    default:
      return false;
  }
}

palette_c::palette_c() { use(false, no_system_colours_c{}); }

void palette_c::use(bool high_contrast, const system_colours_i& system) {
  plain_ = high_contrast;
  for (size_t i = 0; i < colour_role_count; ++i) {
    colours_[i] = high_contrast ? system.colour(entries[i].system) : entries[i].skin;
  }
}

palette_c& program_palette() {
  static palette_c palette;
  return palette;
}

}  // namespace quillary
