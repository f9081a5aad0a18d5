#!/usr/bin/env bash
# The skin from outside, with real input through window_probe: the frame's
# colours and caption buttons, and the message box's colours and answers.
#
# usage: skin_gui_test.sh BIN_DIR   (ui_gallery.exe, window_probe.exe, language.ini)
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" skin_gui_test "$1"
probe() { "$wine_run" "$bin/window_probe.exe" "$@" | tr -d '\r'; }
pixel_is() {  # pixel_is COLOUR ARGS... : the probe's pixel equals COLOUR
  local want=$1
  shift
  local got
  got=$(probe pixel "$@")
  [ "$got" = "$want" ] || { echo "     pixel $*: $got, expected $want"; return 1; }
}
band='#8BB8F1' outer='#425A8A' background='#E2F0FD'

# --- the frame -------------------------------------------------------------------
"$wine_run" "$bin/ui_gallery.exe" frame > "$work/frame.out" &
target=$!
check "the skinned frame shows" probe wait "Skin frame" --timeout 30000 --visible >/dev/null
sleep 1
check "the outer border line at the window's corner" pixel_is "$outer" "Skin frame" 0 0 --window
check "the caption band below the title" pixel_is "$band" "Skin frame" 200 28 --window
check "an inner border line on the left" pixel_is "$band" "Skin frame" 1 120 --window
check "a screenshot of the frame" probe screenshot "Skin frame" "$("$wine_run" winepath -w "$work/frame.png" 2>/dev/null)"
check "... written as PNG" bash -c "file '$work/frame.png' | grep -q PNG"
# A press on the bare caption that ends over the close button moves the
# window and fires nothing.
info=$(probe info "Skin frame")
width=$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0])' "$info")
probe mouse "Skin frame" down 150 12 --window
probe mouse "Skin frame" move $((width - 20)) 12 --window
probe mouse "Skin frame" up $((width - 20)) 12 --window
sleep 0.5
check "a press on the bare caption released over the close button does not close" \
  bash -c "'$wine_run' '$bin/window_probe.exe' wait 'Skin frame' --visible >/dev/null" >/dev/null
# A double click on the menu button is one click, and the system does not
# maximise the window.
info=$(probe info "Skin frame")
width=$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0])' "$info")
probe mouse "Skin frame" double $((width - 110)) 12 --window
sleep 0.5
check "a double click on a caption button fires it once" test "$(grep -c menu "$work/frame.out")" = 1
check "... and does not maximise the window" \
  bash -c "'$wine_run' '$bin/window_probe.exe' info 'Skin frame' | grep -q '\"zoomed\": false'"
probe mouse "Skin frame" click $((width - 20)) 12 --window
wait "$target"
check "the close button ends the window" test "$(tail -1 "$work/frame.out" | tr -d '\r')" = close
target=

# --- the message box ---------------------------------------------------------------
answer() {  # answer TYPE ACTION... : runs a box, acts, prints its exit code
  local type=$1
  shift
  "$wine_run" "$bin/ui_gallery.exe" message "$type" &
  target=$!
  probe wait "" --class '#32770' --timeout 30000 --visible >/dev/null
  sleep 0.5
  "$@"
  wait "$target"
  echo $?
  target=
}
click_item() { probe mouse "" click 30 10 --class '#32770' --child-id "$1"; }
close_box() { probe mouse "" click 282 16 --class '#32770' --window; }
colours() {
  pixel_is "$background" "" 40 110 --class '#32770' &&
  pixel_is "$band" "" 8 150 --class '#32770' &&
  pixel_is "$outer" "" 0 0 --class '#32770' --window
}
check "message box type 3: Yes answers 1" test "$(answer 3 click_item 1)" = 1
check "message box type 3: No answers 2" test "$(answer 3 click_item 2)" = 2
check "message box type 3: the close button answers 0" test "$(answer 3 close_box)" = 0
check "message box type 0: Escape answers 2" test "$(answer 0 probe key "" escape --class '#32770')" = 2
check "message box type 4: Retry answers 1" test "$(answer 4 click_item 1)" = 1
check "message box type 2: Enter answers 1" test "$(answer 2 probe key "" enter --class '#32770')" = 1
"$wine_run" "$bin/ui_gallery.exe" message 1 &
target=$!
probe wait "" --class '#32770' --timeout 30000 --visible >/dev/null
sleep 0.5
check "the message box background, band and border" colours
click_item 1
wait "$target"
target=

report_checks skin_gui_test
