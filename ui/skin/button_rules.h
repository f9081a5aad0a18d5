// The three mouse rules of the windowless skin buttons (hover, press,
// click), apart from any window so that they can be checked anywhere. A
// button here is anything with a `state` (0 normal, 1 hover, 2 pressed) and
// `hit_test(x, y, area)`; the rules walk the buttons in their order.
#pragma once

#include <cstddef>

namespace quillary {

namespace button_state {
constexpr int normal = 0;
constexpr int hover = 1;
constexpr int pressed = 2;
}  // namespace button_state

// What the owner must do after a rule has run.
struct button_rule_effect {
  bool redraw = false;            // the buttons' looks changed
  bool start_leave_tracking = false;
  bool consumed = false;          // no default processing for the message
  int fire = -1;                  // index of the button whose action runs
};

// Hover: the first normal button under the point turns hover (and the
// leave tracking starts, when not yet running); buttons under the point that
// are hover or pressed are passed over; the first button away from the point
// that is not normal turns normal. Each walk changes at most one button.
template <typename Buttons, typename Area>
button_rule_effect apply_hover_rule(Buttons& buttons, int x, int y, const Area& area,
                                    bool tracking) {
  button_rule_effect effect;
  for (auto& button : buttons) {
    if (button->hit_test(x, y, area)) {
      if (button->state != button_state::normal) continue;
      button->state = button_state::hover;
      effect.redraw = true;
      effect.start_leave_tracking = !tracking;
      return effect;
    }
    if (button->state != button_state::normal) {
      button->state = button_state::normal;
      effect.redraw = true;
      return effect;
    }
  }
  return effect;
}

// Press: the first button under the point that is not pressed becomes
// pressed; only then is the message consumed.
template <typename Buttons, typename Area>
button_rule_effect apply_press_rule(Buttons& buttons, int x, int y, const Area& area) {
  button_rule_effect effect;
  for (auto& button : buttons) {
    if (button->hit_test(x, y, area) && button->state != button_state::pressed) {
      button->state = button_state::pressed;
      effect.redraw = true;
      effect.consumed = true;
      return effect;
    }
  }
  return effect;
}

// Click: the first button under the point that is not hover becomes hover
// and fires. A button that is merely hovered when the button is released
// does not fire.
template <typename Buttons, typename Area>
button_rule_effect apply_click_rule(Buttons& buttons, int x, int y, const Area& area) {
  button_rule_effect effect;
  int index = 0;
  for (auto& button : buttons) {
    if (button->hit_test(x, y, area) && button->state != button_state::hover) {
      button->state = button_state::hover;
      effect.redraw = true;
      effect.consumed = true;
      effect.fire = index;
      return effect;
    }
    ++index;
  }
  return effect;
}

// The pointer left the area: the first button that is not normal turns
// normal.
template <typename Buttons>
button_rule_effect apply_leave_rule(Buttons& buttons) {
  button_rule_effect effect;
  for (auto& button : buttons) {
    if (button->state != button_state::normal) {
      button->state = button_state::normal;
      effect.redraw = true;
      break;
    }
  }
  effect.consumed = true;
  return effect;
}

// Whether any button lies under the point (double clicks there never reach
// the system, which would maximise or restore the window).
template <typename Buttons, typename Area>
bool any_button_under(Buttons& buttons, int x, int y, const Area& area) {
  for (auto& button : buttons) {
    if (button->hit_test(x, y, area)) return true;
  }
  return false;
}

}  // namespace quillary
