// The colours of the flat blue skin, as the system's COLORREF values
// (0x00BBGGRR), written so that the native build can check them too.
#pragma once

#include <cstdint>

namespace quillary {

constexpr uint32_t skin_rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return red | (green << 8) | (blue << 16);
}

namespace skin_colour {
// The caption band and the inner lines of the border.
constexpr uint32_t caption_band = skin_rgb(139, 184, 241);
// The outermost line of the border.
constexpr uint32_t outer_border = skin_rgb(66, 90, 138);
constexpr uint32_t caption_title = skin_rgb(233, 243, 255);
constexpr uint32_t message_background = skin_rgb(226, 240, 253);
constexpr uint32_t message_text = skin_rgb(91, 135, 201);
// The label of a navigation button while it is pressed.
constexpr uint32_t top_button_selected = skin_rgb(76, 146, 206);
constexpr uint32_t button_text = skin_rgb(255, 255, 255);
}  // namespace skin_colour

}  // namespace quillary
