# The program's message box, for the GUI tests that source this after
# defining probe, wait_until and box_up.
box_text() { probe texts "" --class '#32770' | head -n 1; }
box_changed() { ! box_up || [ "$(box_text)" != "$1" ]; }  # the box with this text is gone
box_answer() {  # box_answer ID: a click on the box's button, then until the box has gone
  local before
  before=$(box_text)
  probe mouse "" click 30 10 --class '#32770' --child-id "$1" >/dev/null
  wait_until 10 box_changed "$before"
}
# The warning after an installation or a restore under Wine, which has no
# System Restore: up within 20 seconds, in English.
no_restore_point_said() {
  wait_until 20 box_up && [ "$(box_text)" = "No restore point was made: this PC has no System Restore." ]
}
