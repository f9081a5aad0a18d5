// The settings dialog's decisions, apart from the dialog: what its boxes
// start from, what OK makes of them, and where the language moves things.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

// The state a box shows for a setting: 0, 1 or 2. A value outside them is
// reset to 0, in the setting as well.
uint32_t box_state_for(uint32_t& setting);

// What close_to_tray becomes from the close-to-tray box on OK. The box has
// three states: unchecked (0), checked (1) and the third state (2), which
// it shows while the tray notice has been given. Unchecked gives 0;
// untouched, the third state keeps 2; a box the user checked asks for the
// notice again (1).
uint32_t close_to_tray_from_box(uint32_t box_state);

// Languages whose texts are long: their check boxes keep the template's
// size and the divider moves right.
bool has_long_texts(std::string_view language_code);
// The x of the divider between the two columns.
int divider_x(std::string_view language_code);

// The folders and the language name as the settings can hold them.
constexpr size_t max_path_characters = 259;
constexpr size_t max_language_characters = 31;
std::u16string bounded(std::u16string text, size_t characters);

// What OK does with the language list's selection: true when it differs
// from the current language (the new name then goes into `language`).
bool language_changed(int32_t selected, int32_t current);

}  // namespace quillary
