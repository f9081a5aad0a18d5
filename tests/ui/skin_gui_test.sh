#!/usr/bin/env bash
# The skin from outside, with real input through window_probe: the frame's
# colours and caption buttons, and the message box's colours, answers
# (by mouse and by keyboard, with the focus shown), dragging and place.
#
# usage: skin_gui_test.sh BIN_DIR   (ui_gallery.exe, window_probe.exe, language.ini)
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" skin_gui_test "$1"
json() { python3 -c "import json,sys; d=json.loads(sys.argv[1]); print($2)" "$1"; }
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
  probe wait 'Skin frame' --visible
# A double click on the menu button is one click, and the system does not
# maximise the window.
info=$(probe info "Skin frame")
width=$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0])' "$info")
probe mouse "Skin frame" double $((width - 110)) 12 --window
sleep 0.5
check "a double click on a caption button fires it once" test "$(grep -c menu "$work/frame.out")" = 1
check "... and does not maximise the window" \
  grep -q '"zoomed": false' <<<"$(probe info 'Skin frame')"
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
# The keyboard: Tab moves the focus (and its look) to the next button, and
# Enter or Space answers with the focused one.
key() { probe key "" "$1" --class '#32770'; }
tab_enter() { key tab && key enter; }
tab_tab_enter() { key tab && key tab && key enter; }
tab_space() { key tab && key space; }
check "message box type 3: Enter answers Yes (1)" test "$(answer 3 key enter)" = 1
check "message box type 3: Tab, Enter answers No (2)" test "$(answer 3 tab_enter)" = 2
check "message box type 3: Tab, Tab, Enter answers Yes (1)" test "$(answer 3 tab_tab_enter)" = 1
check "message box type 3: Tab, Space answers No (2)" test "$(answer 3 tab_space)" = 2
check "message box type 4: Tab, Enter answers Cancel (2)" test "$(answer 4 tab_enter)" = 2
button_pixel() { probe pixel "" 10 18 --class '#32770' --child-id "$1"; }
focus_moves() {  # the lit look goes from Yes (focused first) to No with Tab
  local yes_before no_before yes_after no_after
  # The pointer away from the buttons, whose hover look is the same.
  probe mouse "" move 150 60 --class '#32770' >/dev/null
  sleep 0.3
  yes_before=$(button_pixel 1) no_before=$(button_pixel 2)
  key tab
  sleep 0.3
  yes_after=$(button_pixel 1) no_after=$(button_pixel 2)
  echo "     Yes $yes_before -> $yes_after, No $no_before -> $no_after"
  [ "$yes_before" != "$no_before" ] && [ "$no_after" = "$yes_before" ] && [ "$yes_after" = "$no_before" ]
}
"$wine_run" "$bin/ui_gallery.exe" message 3 &
target=$!
probe wait "" --class '#32770' --timeout 30000 --visible >/dev/null
sleep 0.5
check "the focused button looks focused, and the look follows Tab" focus_moves
# A press on the lower half of the caption band (below the system's own
# caption height) drags the box.
box_rect() { json "$(probe info "" --class '#32770')" "' '.join(map(str, d['window']))"; }
read -r left top _ _ < <(box_rect)
frame_top=$(json "$(probe info "" --class '#32770')" "d['client'][1] - d['window'][1] - 30")
xdotool mousemove $((left + 100)) $((top + frame_top + 24)) mousedown 1 \
  mousemove $((left + 130)) $((top + frame_top + 54)) mousemove $((left + 160)) $((top + frame_top + 84)) mouseup 1
sleep 0.5
read -r moved_left moved_top _ _ < <(box_rect)
check "a drag on the lower half of the caption band moves the box" \
  test "$((moved_left - left)),$((moved_top - top))" = 60,60
click_item 2
wait "$target"
target=

# Over a minimised owner the box centres on the owner's restored place,
# inside the work area, and stays usable when the owner comes back.
inside_work_area() {
  python3 -c '
import json, sys
d = json.loads(sys.argv[1]); w, a = d["window"], d["work_area"]
sys.exit(0 if a[0] <= w[0] and a[1] <= w[1] and w[2] <= a[2] and w[3] <= a[3] else 1)' \
    "$(probe info "" --class '#32770')"
}
centred_on_owner() {
  local box owner
  box=$(json "$(probe info "" --class '#32770')" "' '.join(map(str, d['window']))")
  owner=$(json "$(probe info "Message owner")" "' '.join(map(str, d['window']))")
  python3 -c '
import sys
b = list(map(int, sys.argv[1].split())); o = list(map(int, sys.argv[2].split()))
centre = lambda r: ((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
(bx, by), (ox, oy) = centre(b), centre(o)
sys.exit(0 if abs(bx - ox) <= 1 and abs(by - oy) <= 1 else 1)' "$box" "$owner"
}
"$wine_run" "$bin/ui_gallery.exe" owned-message 3 > "$work/owned.out" &
target=$!
probe wait "" --class '#32770' --timeout 30000 --visible >/dev/null
sleep 0.5
check "the owner is minimised" grep -q '"iconic": true' <<<"$(probe info 'Message owner')"
check "a box over a minimised owner is inside the work area" inside_work_area
probe restore "Message owner" >/dev/null
sleep 0.5
check "... and, the owner restored, still there" inside_work_area
check "... centred on the owner" centred_on_owner
probe mouse "" click 30 10 --class '#32770' --child-id 1 >/dev/null
wait "$target"
check "... and answers a click (Yes: 1)" test $? = 1
target=
check "... after which the owner is enabled again" grep -q "owner enabled" "$work/owned.out"

"$wine_run" "$bin/ui_gallery.exe" message 1 &
target=$!
probe wait "" --class '#32770' --timeout 30000 --visible >/dev/null
sleep 0.5
check "the message box background, band and border" colours
click_item 1
wait "$target"
target=

report_checks skin_gui_test
