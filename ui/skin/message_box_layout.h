// What each kind of the skinned message box shows (its icon picture and its
// buttons with their texts and places), and what its buttons answer.
#pragma once

namespace quillary {

// What a box is for; its icon and buttons follow.
enum class message_kind {
  note,      // a completion note: OK
  warning,   // OK
  failure,   // OK
  question,  // No, Yes
  retry,     // a failure that may be tried again: Cancel, Retry
  // A question whose safe answer is No: No, Yes, with No the default
  // button, so that Enter answers No.
  cautious_question,
};

// What the user answered.
enum class message_answer {
  not_shown,  // the box could not be shown
  closed,     // the caption's close button
  ok,         // OK, or Enter, in a box with one button
  cancel,     // Escape in a box with one button; Cancel (or Escape) in a retry box
  yes,        // a question's Yes, or Enter
  no,         // a question's No, or Escape
  retry,      // a retry box's Retry, or Enter
};

struct message_box_button {
  int item = 0;             // dialog item: 1 is the box's yes, 2 its no
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

// Where the text goes, beside the picture, centred in the height: room for
// four lines of the box's font, which a three-line text takes at 200 %,
// where the font's hinting makes it a little wider than at 100 %.
struct message_box_text_box {
  int left, top, right, bottom;
};
constexpr message_box_text_box message_box_text{80, 26, 272, 114};

// A kind that is none of the five shows no icon and only the OK button.
constexpr message_box_layout layout_for_message(message_kind kind) {
  switch (kind) {
    case message_kind::note: return {353, 1, {{1, "btn_ok", 115}, {}}};
    case message_kind::warning: return {352, 1, {{1, "btn_ok", 115}, {}}};
    case message_kind::failure: return {351, 1, {{1, "btn_ok", 115}, {}}};
    case message_kind::question:
    case message_kind::cautious_question: return {354, 2, {{2, "btn_no", 50}, {1, "btn_yes", 180}}};
    case message_kind::retry: return {351, 2, {{2, "btn_cancel", 50}, {1, "btn_retry", 180}}};
    default: return {0, 1, {{1, "btn_ok", 115}, {}}};
  }
}

constexpr bool is_question(message_kind kind) {
  return kind == message_kind::question || kind == message_kind::cautious_question;
}

// The answer of a box of `kind` that ended with `item`: 1 for the first
// choice (OK, Yes, Retry; Enter, but in a cautious question), 2 for the
// second (No, Cancel; Escape), 0
// for the caption's close button; anything else means it never showed.
constexpr message_answer answer_for_item(message_kind kind, int item) {
  switch (item) {
    case 0: return message_answer::closed;
    case 1:
      if (is_question(kind)) return message_answer::yes;
      if (kind == message_kind::retry) return message_answer::retry;
      return message_answer::ok;
    case 2: return is_question(kind) ? message_answer::no : message_answer::cancel;
    default: return message_answer::not_shown;
  }
}

}  // namespace quillary
