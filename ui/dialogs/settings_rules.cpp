#include "ui/dialogs/settings_rules.h"

namespace quillary {

uint32_t box_state_for(uint32_t& setting) {
  if (setting > 2) setting = 0;
  return setting;
}

uint32_t close_to_tray_from_box(uint32_t box_state) { return box_state <= 2 ? box_state : 0; }

bool has_long_texts(std::string_view code) { return code == "fr" || code == "es" || code == "pt"; }

int divider_x(std::string_view code) { return has_long_texts(code) ? 320 : 300; }

std::u16string bounded(std::u16string text, size_t characters) {
  if (text.size() > characters) text.resize(characters);
  return text;
}

bool language_changed(int32_t selected, int32_t current) { return selected >= 0 && selected != current; }

}  // namespace quillary
