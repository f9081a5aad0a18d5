#include "ui/skin/skin_fonts_win32.h"

#include "platform/win32.h"
#include "ui/skin/skin_fonts.h"

#include <mutex>
#include <vector>

namespace quillary {

HFONT font_arial_8 = nullptr;
HFONT font_arial_11 = nullptr;
HFONT font_arial_15 = nullptr;
HFONT font_arial_16 = nullptr;
HFONT font_arial_18 = nullptr;
HFONT font_arial_18_bold = nullptr;
HFONT font_arial_25_bold = nullptr;
HFONT font_verdana_8 = nullptr;
HFONT font_verdana_8_alt = nullptr;
HFONT font_verdana_10 = nullptr;
HFONT font_verdana_8_bold = nullptr;
HFONT font_verdana_9_bold = nullptr;
HFONT font_verdana_10_bold = nullptr;
HFONT font_verdana_12_bold = nullptr;
HFONT font_verdana_12 = nullptr;
HFONT font_verdana_14 = nullptr;
HFONT font_verdana_16_bold = nullptr;
HFONT font_verdana_16 = nullptr;
HFONT font_verdana_18 = nullptr;
HFONT font_verdana_22 = nullptr;
HFONT font_verdana_25 = nullptr;

namespace {

// In the order of skin_font_table.
HFONT* const font_slots[] = {
    &font_arial_8,         &font_arial_11,       &font_arial_15,        &font_arial_16,
    &font_arial_18,        &font_arial_18_bold,  &font_arial_25_bold,   &font_verdana_8,
    &font_verdana_8_alt,   &font_verdana_10,     &font_verdana_8_bold,  &font_verdana_9_bold,
    &font_verdana_10_bold, &font_verdana_12_bold, &font_verdana_12,     &font_verdana_14,
    &font_verdana_16_bold, &font_verdana_16,     &font_verdana_18,      &font_verdana_22,
    &font_verdana_25,
};
static_assert(std::size(font_slots) == skin_font_table.size());

HFONT make_font(const skin_font_entry& entry, display_scale scale) {
  return CreateFontW(scale.device(skin_font_height(entry.points)), 0, 0, 0, entry.weight, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     VARIABLE_PITCH, wide(std::u16string(entry.face)));
}

struct scaled_font {
  size_t index;
  int dpi;
  HFONT font;
};
std::mutex scaled_fonts_lock;
std::vector<scaled_font> scaled_fonts;

}  // namespace

void create_skin_fonts() {
  for (size_t i = 0; i < skin_font_table.size(); ++i) {
    if (!*font_slots[i]) *font_slots[i] = make_font(skin_font_table[i], display_scale{});
  }
}

HFONT font_for_controls(HFONT font, display_scale scale) {
  if (!font || scale.unscaled()) return font;
  size_t index = 0;
  while (index < std::size(font_slots) && *font_slots[index] != font) ++index;
  if (index == std::size(font_slots)) return font;
  const std::lock_guard<std::mutex> hold(scaled_fonts_lock);
  for (const scaled_font& made : scaled_fonts) {
    if (made.index == index && made.dpi == scale.dpi) return made.font;
  }
  HFONT made = make_font(skin_font_table[index], scale);
  if (!made) return font;
  scaled_fonts.push_back({index, scale.dpi, made});
  return made;
}

HFONT skin_font(size_t index) { return index < std::size(font_slots) ? *font_slots[index] : nullptr; }

}  // namespace quillary
