// The fonts of the skin: one table of faces, sizes and weights, created
// once at start-up (skin_fonts_win32.h) and shared by every window.
#pragma once

#include <array>

#include "ui/window/display_scale.h"

namespace quillary {

struct skin_font_entry {
  const char* name;      // the variable's name, for messages and tests
  const char16_t* face;  // exactly as handed to the system
  int points;
  int weight;            // 400 normal, 700 bold
};

// In the order of the font variables of skin_fonts_win32.h.
constexpr std::array<skin_font_entry, 21> skin_font_table{{
    {"font_arial_8", u"Arial", 8, 400},
    {"font_arial_11", u"Arial", 11, 400},
    {"font_arial_15", u"Arial", 15, 400},
    {"font_arial_16", u"Arial", 16, 400},
    {"font_arial_18", u"Arial", 18, 400},
    {"font_arial_18_bold", u"Arial", 18, 700},
    {"font_arial_25_bold", u"Arial", 25, 700},
    {"font_verdana_8", u"Verdana", 8, 400},
    {"font_verdana_8_alt", u"Verdana", 8, 400},
    {"font_verdana_10", u"Verdana", 10, 400},
    {"font_verdana_8_bold", u"Verdana", 8, 700},
    {"font_verdana_9_bold", u"Verdana", 9, 700},
    {"font_verdana_10_bold", u"Verdana", 10, 700},
    {"font_verdana_12_bold", u"verdana", 12, 700},
    {"font_verdana_12", u"verdana", 12, 400},
    {"font_verdana_14", u"verdana", 14, 400},
    {"font_verdana_16_bold", u"verdana", 16, 700},
    {"font_verdana_16", u"verdana", 16, 400},
    {"font_verdana_18", u"verdana", 18, 400},
    {"font_verdana_22", u"verdana", 22, 400},
    {"font_verdana_25", u"verdana", 25, 400},
}};

// The font height for a size in points on the skin's 96-pixel inch: the
// character height, hence negative.
constexpr int skin_font_height(int points) { return -mul_div(points, 96, 72); }

}  // namespace quillary
