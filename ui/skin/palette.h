// The one place every drawing site asks for a colour. Each colour of the
// skin is named by its role (the values of skin_colours.h); each role also
// names the system colour that stands in for it when the user has chosen a
// high-contrast theme, so that the program's windows follow the user's
// colours instead of the flat blue skin. The system's colours come through
// a seam (GetSysColor on Windows, a table in tests).
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/skin/skin_colours.h"

namespace quillary {

// The roles of skin_colours.h, in its order, and the grounds the plain
// (high-contrast) drawing of the skin's pictures needs.
enum class colour_role {
  caption_band,
  outer_border,
  caption_title,
  top_button_selected,
  button_text,
  message_background,
  message_text,
  page_ground,
  plain_text,
  heading,
  side_bar,
  side_bar_edge,
  side_bar_text,
  scan_waiting_text,
  scan_progress_fill,
  tree_separator,
  tree_heading,
  tree_label,
  tree_value,
  download_header_band,
  download_header_text,
  download_count,
  download_bar,
  download_rule,
  download_side_text,
  score_poor,
  score_good,
  chart_out_of_date,
  chart_no_driver,
  chart_up_to_date,
  panel_ground,
  panel_tint,
  panel_frame,
  panel_class_text,
  panel_device_text,
  panel_date_text,
  panel_whql_text,
  panel_bar_frame,
  panel_bar_fill,
  panel_bar_ground,
  panel_status_text,
  panel_error_text,
  about_ground,
  about_header_text,
  about_text,
  about_box,
  settings_ground,
  settings_heading,
  // Only drawn in high contrast, where a button's picture becomes a plain
  // box: its ground at rest, its ground while hovered or pressed, and its
  // frame. Their skin values are those of the skin's blue buttons.
  button_ground,
  button_active_ground,
  button_frame,
  button_disabled_text,
  // A link: in the skin the browser's anchor colours (see link_win32.h).
  link_text,
  count
};
constexpr size_t colour_role_count = static_cast<size_t>(colour_role::count);

// The system's colour indexes (the values of COLOR_* in winuser.h, checked
// against them in the Windows build), so that the mapping is portable.
enum class system_colour : int {
  active_caption = 2,
  window = 5,
  window_frame = 6,
  window_text = 8,
  caption_text = 9,
  highlight = 13,
  highlight_text = 14,
  button_face = 15,
  gray_text = 17,
  button_text = 18,
  hot_light = 26,
};

// What a role colours: a ground that other things stand on, a text or mark
// drawn on a ground, or a line (a frame or rule) that needs only to show.
enum class role_kind { ground, text, line };

struct colour_role_entry {
  uint32_t skin;          // the flat blue skin's COLORREF
  system_colour system;   // its stand-in in high contrast
  role_kind kind;
  colour_role ground;     // for a text: what it stands on; else itself
};

// The entry of `role`; every role has one.
const colour_role_entry& colour_role_info(colour_role role);

// The text colours the system pairs with a ground colour: a text on
// `ground` must use one of them to stay readable in the user's scheme.
bool system_pair_reads(system_colour ground, system_colour text);

// The system's colours, as COLORREF values.
class system_colours_i {
 public:
  virtual ~system_colours_i() = default;
  virtual uint32_t colour(system_colour index) const = 0;
};

class palette_c {
 public:
  // The flat blue skin: every role its skin_colours.h value.
  palette_c();
  // The skin, or (high_contrast) every role the system's colour.
  void use(bool high_contrast, const system_colours_i& system);
  uint32_t colour_of(colour_role role) const { return colours_[static_cast<size_t>(role)]; }
  // True while the skin's pictures give way to plain boxes and shapes.
  bool plain() const { return plain_; }

 private:
  uint32_t colours_[colour_role_count];
  bool plain_ = false;
};

// The program's palette: one per process, refreshed when the user's theme
// changes (see palette_win32.h), asked by every drawing site.
palette_c& program_palette();
inline uint32_t colour_of(colour_role role) { return program_palette().colour_of(role); }
inline bool plain_skin() { return program_palette().plain(); }

}  // namespace quillary
