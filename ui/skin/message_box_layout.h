// What each type of the skinned message box shows: its icon picture and
// its buttons with their texts and places.
#pragma once

namespace quillary {

struct message_box_button {
  int item = 0;             // dialog item: 1 answers 1, 2 answers 2
  const char* text_key = nullptr;
  int x = 0;
};

struct message_box_layout {
  int icon = 0;             // bitmap number; 0: no icon
  int button_count = 0;
  message_box_button buttons[2];
};

// All buttons sit at this height.
constexpr int message_box_button_y = 136;

// Types 0 to 4; any other type shows no icon and only the OK button.
constexpr message_box_layout layout_for_message_type(int type) {
  switch (type) {
    case 0: return {353, 1, {{1, "btn_ok", 115}, {}}};
    case 1: return {352, 1, {{1, "btn_ok", 115}, {}}};
    case 2: return {351, 1, {{1, "btn_ok", 115}, {}}};
    case 3: return {354, 2, {{2, "btn_no", 50}, {1, "btn_yes", 180}}};
    case 4: return {351, 2, {{2, "btn_cancel", 50}, {1, "btn_retry", 180}}};
    default: return {0, 1, {{1, "btn_ok", 115}, {}}};
  }
}

}  // namespace quillary
