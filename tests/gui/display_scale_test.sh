#!/usr/bin/env bash
# The program on displays of 125 % and 150 % (Wine's LogPixels), and moved
# from one scale to another (WM_DPICHANGED, through the test build's seam:
# Wine shows one display at one scale). At each scale the window takes its
# size in the display's pixels, the skin's pictures are the ones drawn for
# that scale copied pixel for pixel (not the 100 % ones stretched), a real
# click lands on the button drawn under it, and dialogs open at the scale.
# (The tests' screen is 1280 × 800: a window of 200 % would not fit it, and
# the system keeps a window within the screen's size. The gallery,
# display_scale_gallery.sh, shows 200 % on a larger screen.)
#
# usage: display_scale_test.sh WINDOWS_BIN NATIVE_BIN ART_DIR
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" display_scale_test "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
gui="$root/tests/gui"
test_name=display_scale_test
source "$gui/program_test.sh"

export QUILLARY_TEST_DISPLAY_SCALE=1
set_dpi() {  # set_dpi DPI: the display's scale for programs started from now on
  "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
# The prefix is shared with the other tests: it goes back to 100 %.
trap 'stop_program; stop_service; set_dpi 96; cleanup' EXIT

device() { echo $((($1 * $2 + 48) / 96)); }  # device LOGICAL DPI, rounded as MulDiv
size_is() {  # size_is WIDTH HEIGHT: the main window's size in the display's pixels
  geometry
  [ "$window_width" = "$1" ] && [ "$window_height" = "$2" ]
}
# The art folder's file of a picture: the 100 % ones are BMP files, the
# larger variants PNG files (as the program holds them), decoded to the same
# pixels. A name with neither is an error, not a picture never found.
picture_file() {  # picture_file PICTURE
  if [ -f "$art/$1.png" ]; then echo "$art/$1.png"
  elif [ -f "$art/$1.bmp" ]; then echo "$art/$1.bmp"
  else echo "display_scale_test: no picture $1 in $art" >&2; return 1
  fi
}
found() {  # found PICTURE LEFT TOP RIGHT BOTTOM: the picture shows unchanged there on the screen
  local file
  file=$(picture_file "$1") || return 2
  import -window root "$work/screen.png" 2>/dev/null
  "$gui/find_picture.py" "$work/screen.png" "$file" "$2" "$3" "$4" "$5" >/dev/null
}
not_found() { found "$@"; [ $? = 1 ]; }  # searched for, and not there
# Where the pictures are, with the window in the screen's top-left corner:
# the logo in the header's right-hand part, the start button in the page's
# middle (a region each, for the search's sake).
logo_found() {  # logo_found PICTURE DPI
  geometry
  found "$1" $((window_right - $(device 300 "$2"))) 0 "$window_right" "$(device 100 "$2")"
}
# The start button has the keyboard focus, whose dotted rectangle lies just
# inside its picture: the picture less a border of 8 pixels is looked for.
start_button_found() {  # start_button_found PICTURE DPI
  local file
  file=$(picture_file "$1") || return 2
  [ -f "$work/$1.inner.bmp" ] || /usr/bin/python3 -c '
import sys
from PIL import Image
with Image.open(sys.argv[1]) as p:
    p.crop((8, 8, p.width - 8, p.height - 8)).save(sys.argv[2])' "$file" "$work/$1.inner.bmp"
  import -window root "$work/screen.png" 2>/dev/null
  "$gui/find_picture.py" "$work/screen.png" "$work/$1.inner.bmp" 0 "$(device 200 "$2")" \
    "$(device 720 "$2")" "$(device 540 "$2")" >/dev/null
}
width_is() { geometry; [ "$window_width" = "$1" ]; }
settings_open() { probe find Settings --class '#32770' --visible >/dev/null 2>&1; }
settings_width() { json "$(probe info Settings --class '#32770')" 'd["window"][2]-d["window"][0]'; }
# A real click on the header's Settings button, at the place it has at DPI:
# it opens the settings dialog only when the window measures the click in
# logical pixels (unscaled, the point lies past the header's buttons).
click_settings() {  # click_settings DPI
  geometry
  main mouse click $((frame + $(device 380 "$1"))) $((frame + $(device 56 "$1"))) --window >/dev/null
}
settings_closed() { ! settings_open; }
close_settings() { probe key Settings escape --class '#32770' >/dev/null; wait_until 10 settings_closed; }

fresh_settings
set_setting close_to_tray 0

# --- 150 %: the window, its pictures and a click ------------------------------------
set_dpi 144
start test
main move 0 0 >/dev/null
# 900 pixels tall would not fit the tests' screen: the system keeps it within.
check "at 150 % the window is 800 logical pixels wide, 1200 of the display's" width_is 1200
wait_until 10 logo_found "bitmap_logo@150" 144
check "the logo is the one drawn at 150 %, pixel for pixel" logo_found "bitmap_logo@150" 144
check "... and not the 100 % one" not_found "bitmap_logo" 0 0 1280 200
main mouse move 5 5 >/dev/null  # off the start button
wait_until 10 start_button_found "bitmap_start_button_en_normal@150" 144
check "the start button is the one drawn at 150 %" start_button_found "bitmap_start_button_en_normal@150" 144
click_settings 144
wait_until 20 settings_open
check "a click where the Settings button is drawn at 150 % opens the settings" settings_open
check "... at 150 %: 960 pixels wide" test "$(settings_width)" = 960
close_settings

# --- To a display of 125 % and back ------------------------------------------------
main post QuillaryTestDisplayScale 120 >/dev/null
wait_until 20 size_is 1000 750
check "moved to a display of 125 %, the window takes 1000 × 750 pixels" size_is 1000 750
wait_until 10 logo_found "bitmap_logo@125" 120
check "... and draws the logo drawn at 125 %" logo_found "bitmap_logo@125" 120
check "... and the start button drawn at 125 %" start_button_found "bitmap_start_button_en_normal@125" 120
click_settings 120
wait_until 20 settings_open
check "... and a click on its Settings button at 125 % opens the settings" settings_open
close_settings
main post QuillaryTestDisplayScale 96 >/dev/null
wait_until 20 size_is 800 600
check "back on a display of 100 %, 800 × 600 again" size_is 800 600
wait_until 10 logo_found "bitmap_logo" 96
check "... with the 100 % logo" logo_found "bitmap_logo" 96
stop_program

# --- 150 % in Japanese and Arabic ------------------------------------------------------
for language in 日本語:jp العربية:ar; do
  name=${language%%:*}
  code=${language##*:}
  set_setting_text language "$name"
  start test
  main move 0 0 >/dev/null
  main mouse move 5 5 >/dev/null
  wait_until 10 start_button_found "bitmap_start_button_${code}_normal@150" 144
  check "in $name at 150 % the start button with its words is the one drawn at 150 %" \
    start_button_found "bitmap_start_button_${code}_normal@150" 144
  stop_program
done

# --- 125 % from the start -------------------------------------------------------------
fresh_settings
set_setting close_to_tray 0
set_dpi 120
start test
check "started at 125 %, the window is 1000 × 750" size_is 1000 750
main move 0 0 >/dev/null
wait_until 10 logo_found "bitmap_logo@125" 120
check "... with the logo drawn at 125 %" logo_found "bitmap_logo@125" 120
stop_program

report_checks "$test_name"
