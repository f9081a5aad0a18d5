#!/usr/bin/env bash
# The program driven by the keyboard alone under Wine, with no mouse event:
# Tab reaches the home page's start button (the GUI driver reads the
# focused element), Enter scans and leads to the download page, Tab and
# Shift+Tab walk the page's controls round, Space on a panel's action button
# starts its download (the button's name changes), Shift+F10 opens the
# panel's menu and Escape closes it; then on to an installation of the
# downloaded package and a backup of the vendor drivers, the boxes answered
# with Enter. window_probe types the keys with SendInput into the focused
# window.
#
# usage: keyboard_test.sh WINDOWS_BIN NATIVE_BIN ART_DIR
# Needs an X display (the Windows tests run inside xvfb-run). The update
# service listens on 127.0.0.1:18094-18096, apart from the other GUI tests.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" keyboard_test "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
gui="$root/tests/gui"
test_name=keyboard_test
source "$gui/program_test.sh"

own_ports 18094
# The stand-in driver package installer, which writes down its command
# line, and a driver store of the demo PC's drivers to back up.
cp "$bin/../standin/DPInst64.exe" "$bin/../standin/DPInst32.exe" "$program/" || exit 1
python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" \
  "$("$wine_run" winepath -u 'C:\windows' 2>/dev/null)" --vendor-only || exit 1

key() { main key "$1" >/dev/null; }
# The focused element's line (class, child, role, state, name, value).
focused_line() { access focused Quillary --class MainWindow; }
focused_name() { focused_line | awk -F'\t' '{print $5; exit}'; }
focused_role() { focused_line | awk -F'\t' '{print $3; exit}'; }
# is_focused NAME [ROLE]: until the focused element has that name.
is_focused() {
  if [ -n "${2:-}" ]; then access focused Quillary "$1" --role "$2" --class MainWindow --timeout 3000 >/dev/null
  else access focused Quillary "$1" --class MainWindow --timeout 3000 >/dev/null; fi
}
# tab_to NAME [ROLE] [KEY]: presses KEY (tab) until NAME has the focus, at most 40 times;
# after each key, until the focus has moved (1.5 s at most, where it stays).
tab_to() {
  local i j before now
  now=$(focused_line)
  for ((i = 0; i < 40; i++)); do
    before=$now
    key "${3:-tab}"
    for ((j = 0; j < 15; j++)); do
      now=$(focused_line)
      [ "$now" != "$before" ] && break
      sleep 0.1
    done
    [ "$(cut -f5 <<<"$now")" = "$1" ] && { [ -z "${2:-}" ] || [ "$(cut -f3 <<<"$now")" = "$2" ]; } && return 0
  done
  return 1
}

fresh_settings
serve "$work/updates"
start test
wait_until 20 access wait Quillary "Start scan" --class MainWindow --timeout 1000

# --- the header and the home page ----------------------------------------------
check "Tab reaches the start button" tab_to "Start scan" pushbutton
focused_count() {  # how many elements of the window say they are focused
  local class child role state rest n=0
  while IFS=$'\t' read -r class child role state rest; do
    (( (0x$state & 0x4) != 0 )) && n=$((n + 1))
  done < <(access list Quillary --class MainWindow)
  echo "$n"
}
shot() { main screenshot "$(windows_path "$work/keyboard_$1.png")" >/dev/null; }  # for looking at while the test runs
check "... and only one element is focused" test "$(focused_count)" = 1
check "... and it is focusable" bash -c '(( (0x$1 & 0x100000) != 0 ))' _ "$(focused_line | cut -f4)"
shot start_button
check "Tab goes round to the Home navigation button" tab_to Home pushbutton
check "... and only it is focused" test "$(focused_count)" = 1
shot home_button
check "Shift+Tab goes back round to the start button" tab_to "Start scan" pushbutton shift+tab
# The order is the accessible tree's: the header's buttons, then the page's.
first=$(access list Quillary --class MainWindow | awk -F'\t' '$3 == "pushbutton" || $3 == "link" {print $5; exit}')
check "Tab after the page's last control wraps to the first in the tree ($first)" tab_to "$first"
key shift+tab
check "... and Shift+Tab from there wraps to the last" bash -c '[ "$1" != "$2" ]' _ "$(focused_name)" "$first"
check "Tab back to the start button" tab_to "Start scan" pushbutton
key enter
check "Enter on the start button scans and leads to the download page" wait_until 90 page_visible DownloadWindow

# --- the download page -----------------------------------------------------------
wait_until 20 access wait Quillary "Download all" --class MainWindow --timeout 1000
check "Tab reaches Best match" tab_to "Best match" radiobutton
check "Tab reaches a panel's action button" tab_to Download pushbutton
line=$(focused_line)
shot action_button
check "... which lies in a panel" bash -c '[[ "$1" != MainWindow* && "$1" != DownloadAllWindow* ]]' _ "$line"
key space
# Its name follows the download's state: Pause while it runs, the
# installer's once it is done.
download_started() { [ "$(focused_role)" = pushbutton ] && [ "$(focused_name)" != Download ]; }
check "Space on it starts the download (the focused button's name changes)" wait_until 30 download_started
key shift+f10
check "Shift+F10 opens the panel's menu" wait_until 10 menu_up
key escape
check "Escape closes it" wait_until 10 no_menu
check "... and the focus stays on the action button" \
  bash -c '[ "$1" = pushbutton ]' _ "$(focused_role)"
key apps
check "The menu key opens the panel's menu too" wait_until 10 menu_up
key escape
check "... and Escape closes it" wait_until 10 no_menu
check "Tab reaches the download-all bar's check box" tab_to "Select all updates" checkbutton
check "... and its button" tab_to "Download all" pushbutton
key shift+tab
check "Shift+Tab goes back to the bar's check box" is_focused "Select all updates" checkbutton

# --- on to an installation and a backup, still with no mouse event -------------------
box_key() { probe key "" "$1" --class '#32770' >/dev/null; }  # box_key KEY: typed into the message box
check "Tab reaches the downloaded package's button, now reading Install" tab_to Install pushbutton
key space
check "Space on it installs: the driver package installer starts" \
  wait_until 30 test -s "$program/dpinst-calls.txt"
check "... and the page says no restore point was made" no_restore_point_said
box_key enter
check "... which Enter closes" wait_until 10 no_box
check "Tab reaches the Backup navigation button" tab_to Backup pushbutton
key enter
check "Enter on it opens the backup page" wait_until 10 page_visible BackupWindow
check "Tab reaches the page's Back up button" tab_to "Back up" pushbutton
key shift+tab  # the tree, where the first group is selected
key space
check "Space in the tree ticks the selected group's box" test "$(tree_query 'roots[0]["box"]')" = 2
check "Tab goes on to Back up" tab_to "Back up" pushbutton
key enter
check "Enter on it backs up the ticked drivers" wait_until 120 box_up
check "... completed" test "$(box_text)" = "Backup completed successfully."
box_key enter
check "... and Enter closes the box" wait_until 10 no_box
check "the backup is listed in backup.xml" grep -q "<driver" "$program/backup.xml"

stop_program
report_checks keyboard_test
