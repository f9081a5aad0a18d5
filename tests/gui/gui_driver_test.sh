#!/usr/bin/env bash
# The GUI test driver itself (window_probe serve behind tests/tools/window_test.sh's
# probe): exit codes carried through, a reader that stops early or an answer
# left unread keeps the next question's answer its own, the registry and
# path commands match reg and winepath, and elements are found, read and
# clicked by name and role (a message box of the skin, answered No with a
# real click on its button named No).
#
# usage: gui_driver_test.sh BIN_DIR   (ui_gallery.exe, window_probe.exe)
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" gui_driver_test "$1"

"$wine_run" "$bin/ui_gallery.exe" frame > "$work/frame.out" &
target=$!
check "a window is waited for and found" probe wait "Skin frame" --visible --timeout 30000
no_such_window() { probe find "No such window" 2>/dev/null; [ $? = 1 ]; }
check "a command's failure comes back as its exit code: 1 for a window not there" no_such_window
bad_command() { probe frobnicate "Skin frame" 2>/dev/null; [ $? = 2 ]; }
check "... 2 for a command it does not know" bad_command

# A reader that stops at the first line, then a question of another kind.
probe access list "Skin frame" | head -n 0
check "after a reader that stopped early, the next answer is the next question's" \
  test "$(probe text "Skin frame")" = "Skin frame"
# A question whose answer nobody reads (as when a caller is interrupted).
printf 'unread\ttext\tSkin frame\n' >&"$driver_to"
check "an answer left unread is skipped" test "$(probe find "No such window" 2>/dev/null; echo $?)" = 1
check "... and the driver answers on" test "$(probe text "Skin frame")" = "Skin frame"

key='HKCU\Software\Quillary driver test'
probe registry set "$key" number dword 42 >/dev/null
probe registry set "$key" words text 'Français, 日本語 and C:\a path' >/dev/null
check "a number set in the registry reads back as reg query prints it" \
  test "$("$wine_run" reg query "$key" /v number 2>/dev/null | tr -d '\r' | awk '/REG_/ {print $3}')" = 0x2a
check "... and through the driver" test "$(probe registry get "$key" number)" = 0x2a
check "a text reads back whole" test "$(probe registry get "$key" words)" = 'Français, 日本語 and C:\a path'
probe registry delete "$key" >/dev/null
no_value() { probe registry get "$key" number >/dev/null 2>&1; [ $? = 1 ]; }
check "a deleted key has no values" no_value
check "a path as Windows programs see it, as winepath says" \
  test "$(probe path "$work/a folder/ü.txt")" = "$("$wine_run" winepath -w "$work/a folder/ü.txt" 2>/dev/null | tr -d '\r')"
probe close "Skin frame" >/dev/null
wait "$target"
target=

# A box whose buttons are found by name and role and clicked.
"$wine_run" "$bin/ui_gallery.exe" message 3 > /dev/null &
target=$!
check "a message box's text is an element of its own" access wait "" "A download is in progress. Quit anyway?" --class '#32770' --role text \
  --timeout 30000
check "... its No button is found by name and role" access where "" No --class '#32770' --role pushbutton
access click "" No --class '#32770' --role pushbutton >/dev/null
wait "$target"
check "a real click on the element named No answers No" test $? = 2
target=
check "... and the box has gone" access gone "" No --class '#32770' --timeout 5000

report_checks gui_driver_test
