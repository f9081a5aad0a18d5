// The palette of the flat blue skin: every colour the program's windows
// draw with, named by what it colours, as the system's COLORREF values
// (0x00BBGGRR), written so that the native build can check them too.
#pragma once

#include <cstdint>

namespace quillary {

constexpr uint32_t skin_rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return red | (green << 8) | (blue << 16);
}

namespace skin_colour {

// --- the frame of every window ---
// The caption band and the inner lines of the border.
constexpr uint32_t caption_band = skin_rgb(139, 184, 241);
// The outermost line of the border.
constexpr uint32_t outer_border = skin_rgb(66, 90, 138);
constexpr uint32_t caption_title = skin_rgb(233, 243, 255);

// --- buttons ---
// The label of a navigation button while it is pressed.
constexpr uint32_t top_button_selected = skin_rgb(76, 146, 206);
constexpr uint32_t button_text = skin_rgb(255, 255, 255);

// --- the message box ---
constexpr uint32_t message_background = skin_rgb(226, 240, 253);
constexpr uint32_t message_text = skin_rgb(91, 135, 201);

// --- every page ---
// The ground of the pages and of the main window's client area.
constexpr uint32_t page_ground = skin_rgb(255, 255, 255);
constexpr uint32_t plain_text = skin_rgb(0, 0, 0);
// Headings and step names.
constexpr uint32_t heading = skin_rgb(76, 146, 206);
// The side bar's ground, its edge and its rows.
constexpr uint32_t side_bar = skin_rgb(226, 240, 253);
constexpr uint32_t side_bar_edge = skin_rgb(194, 218, 244);
constexpr uint32_t side_bar_text = skin_rgb(67, 110, 152);

// --- the scan page ---
// The status line while the query waits.
constexpr uint32_t scan_waiting_text = skin_rgb(255, 0, 0);
constexpr uint32_t scan_progress_fill = skin_rgb(76, 146, 206);

// --- the backup and restore pages ---
constexpr uint32_t tree_separator = skin_rgb(179, 202, 233);
constexpr uint32_t tree_heading = skin_rgb(71, 130, 195);
constexpr uint32_t tree_label = skin_rgb(0, 0, 0);
constexpr uint32_t tree_value = skin_rgb(71, 130, 195);

// --- the download page ---
// The header band and what stands on it: its texts and the count.
constexpr uint32_t download_header_band = skin_rgb(76, 146, 206);
constexpr uint32_t download_header_text = skin_rgb(255, 255, 255);
constexpr uint32_t download_count = skin_rgb(255, 221, 0);
// The bar under the list, and the rules at its top and at the side's edge.
constexpr uint32_t download_bar = skin_rgb(236, 242, 250);
constexpr uint32_t download_rule = skin_rgb(210, 222, 240);
constexpr uint32_t download_side_text = skin_rgb(67, 110, 152);
// The score: below the good score, and from it on.
constexpr uint32_t score_poor = skin_rgb(220, 30, 30);
constexpr uint32_t score_good = skin_rgb(22, 170, 31);
// The chart's slices and their swatches in the side's legend.
constexpr uint32_t chart_out_of_date = skin_rgb(255, 0, 0);
constexpr uint32_t chart_no_driver = skin_rgb(255, 255, 0);
constexpr uint32_t chart_up_to_date = skin_rgb(22, 205, 31);

// --- the download page's panels ---
constexpr uint32_t panel_ground = skin_rgb(255, 255, 255);
// The ground of a panel whose package no device needs.
constexpr uint32_t panel_tint = skin_rgb(244, 246, 251);
// The panel's frame and the rule above each device.
constexpr uint32_t panel_frame = skin_rgb(230, 234, 243);
constexpr uint32_t panel_class_text = skin_rgb(71, 130, 195);
constexpr uint32_t panel_device_text = skin_rgb(40, 48, 60);
constexpr uint32_t panel_date_text = skin_rgb(96, 106, 120);
constexpr uint32_t panel_whql_text = skin_rgb(203, 144, 9);
// The progress bar: its frame, its filled part and the rest.
constexpr uint32_t panel_bar_frame = skin_rgb(147, 186, 232);
constexpr uint32_t panel_bar_fill = skin_rgb(180, 213, 213);
constexpr uint32_t panel_bar_ground = skin_rgb(255, 255, 255);
constexpr uint32_t panel_status_text = skin_rgb(56, 173, 0);
// A download that failed, or a package refused, must not read as progress.
constexpr uint32_t panel_error_text = skin_rgb(200, 30, 30);

// --- the about dialog ---
constexpr uint32_t about_ground = skin_rgb(139, 184, 241);
// The texts on the blue ground (the header and the copyright lines) and in
// the white box.
constexpr uint32_t about_header_text = skin_rgb(255, 255, 255);
constexpr uint32_t about_text = skin_rgb(0, 0, 0);
constexpr uint32_t about_box = skin_rgb(255, 255, 255);

// --- the settings dialog ---
constexpr uint32_t settings_ground = skin_rgb(255, 255, 255);
// The headings and the frames around the edit fields.
constexpr uint32_t settings_heading = skin_rgb(140, 178, 214);

// --- buttons drawn as plain boxes (only in high contrast, see palette.h) ---
constexpr uint32_t button_ground = skin_rgb(76, 146, 206);
constexpr uint32_t button_active_ground = skin_rgb(139, 184, 241);
constexpr uint32_t button_frame = skin_rgb(66, 90, 138);
constexpr uint32_t button_disabled_text = skin_rgb(160, 160, 160);
// A link's default, as the browser's.
constexpr uint32_t link_text = skin_rgb(0, 0, 255);

}  // namespace skin_colour

}  // namespace quillary
