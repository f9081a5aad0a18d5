#!/usr/bin/env bash
# The main window, the home and scan pages and the tray under Wine, with real
# input (window_probe's SendInput, xdotool for drags), against
# quillary-service on the program's three server addresses: the window's
# place and size, navigation before results, maximise and restore, the
# minimum size, dragging by the header and maximising by a double click on
# it, a scan to its result, the failure reports, a resize during a scan, the
# --autoscan and --autorun starts, the tray's clicks and menu, what closing
# does, the one background scan of a run with its alert icon and balloon
# (which, like the weekly task's scan, fetches and installs nothing), and
# GDI and USER objects across 20 scans.
#
# usage: main_window_test.sh WINDOWS_BIN NATIVE_BIN ART_DIR [SECTION...]
# Sections: window starts tray background objects (all by default).
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" main_window_test "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
shift 3
sections=("$@")
[ ${#sections[@]} -gt 0 ] || sections=(window starts tray background objects)
gui="$root/tests/gui"
test_name=main_window_test

source "$gui/program_test.sh"

shows_picture() {  # shows_picture NAME: the skin picture NAME.bmp is in the window's caption
  import -window root "$work/screen.png" 2>/dev/null || return 1
  geometry
  "$gui/find_picture.py" "$work/screen.png" "$art/$1.bmp" $((window_right - 200)) "$window_top" \
    "$window_right" $((window_top + 40)) >/dev/null
}
tray() { probe "$@" "Wine System Tray"; }
tray_click() { probe mouse "Wine System Tray" "$1" 10 10 >/dev/null; }  # click or right; our icon comes first
tray_alert() {  # the tray icon carries the alert picture's orange badge
  probe screenshot "Wine System Tray" "$(windows_path "$work/tray.png")" --client >/dev/null || return 1
  /usr/bin/python3 - "$work/tray.png" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert('RGB').crop((0, 0, 20, 20))
orange = sum(1 for r, g, b in im.getdata() if r > 200 and 60 < g < 150 and b < 90)
sys.exit(0 if orange >= 6 else 1)
PY
}
tray_normal() { ! tray_alert; }

# --- the window, navigation, a scan, failure reports, a resize during a scan ---------
section_window() {
  fresh_settings
  serve "$work/updates"
  local screen
  screen=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ {print $2}')
  start
  geometry
  check "the main window is 800 x 600" test "${window_width}x${window_height}" = 800x600
  check "... centred on the work area" \
    test "$window_left $window_top" = "$(( (${screen%x*} - 800) / 2 )) $(( (${screen#*x} - 600) / 2 ))"
  check "... titled Quillary" test "$(main text)" = Quillary
  check "... with the client area 100 pixels below the frame" \
    test "$(json "$(main info)" 'd["client"][1]-d["window"][1]')" = $((100 + frame))
  check "the home page shows" page_visible QuillaryHomePage
  check "the header's strip at the top" test "$(main pixel 600 12 --window)" = '#6898DE'
  check "... and the band below it" test "$(main pixel 560 80 --window)" = '#8BB8F1'

  nav Download
  check "the download button before results asks for a scan" wait_until 10 box_up
  check "... with home_download_msg" test "$(box_text)" = "Please scan your computer first to find driver updates."
  box_answer 1
  check "... and the home page stays" page_visible QuillaryHomePage
  nav Backup
  wait_until 10 box_up
  check "the backup button before results: home_backup_msg" test "$(box_text)" = "Please scan your computer before backing up drivers."
  box_answer 1
  nav Restore
  wait_until 10 box_up
  check "the restore button before results: home_restore_msg" test "$(box_text)" = "Please scan your computer before restoring drivers."
  box_answer 1

  away
  check "the maximise picture shows" shows_picture bitmap_caption_maximise_normal
  caption Maximize
  check "the maximise button maximises" wait_until 10 zoomed
  away
  check "... and shows the restore picture" wait_until 5 shows_picture bitmap_caption_restore_normal
  shot maximised
  caption "Restore down"
  check "the same button restores" wait_until 10 not_zoomed
  away
  check "... and brings the maximise picture back" wait_until 5 shows_picture bitmap_caption_maximise_normal

  geometry
  drag $((window_right - 2)) $((window_bottom - 2)) $((window_right - 300)) $((window_bottom - 250))
  geometry
  check "dragging the corner inwards stops at 800 x 600" test "${window_width}x${window_height}" = 800x600
  # Below the system's own caption height, between the buttons and the logo.
  local before=$window_left
  drag $((window_left + 500)) $((window_top + 70)) $((window_left + 440)) $((window_top + 70))
  geometry
  check "a press low in the header drags the window" test "$window_left" = $((before - 60))
  # A double click there, away from the buttons, maximises; another restores.
  main mouse double 500 70 --window >/dev/null
  check "a double click on the header (not over a button) maximises the window" wait_until 10 zoomed
  main mouse double 500 70 --window >/dev/null
  check "... and another restores it" wait_until 10 not_zoomed

  start_button
  check "the start button leads to the download page with the scan's result" wait_until 60 page_visible DownloadWindow
  nav Home
  check "home shows the home page after a scan" wait_until 5 page_visible QuillaryHomePage
  nav Download
  check "the download button opens the download page after results" wait_until 5 page_visible DownloadWindow
  check "... asking nothing" no_box

  report() {  # a scan from the home page up to its failure report
    nav Home
    wait_until 5 page_visible QuillaryHomePage
    start_button
    wait_until 60 box_up
  }
  stop_service  # nothing listens: every connection is refused
  report
  check "all servers refused: error_network_timeout" \
    test "$(box_text)" = "Cannot reach the update server. Please check your Internet connection."
  box_answer 2
  check "... Cancel goes home" wait_until 10 page_visible QuillaryHomePage
  report
  box_answer 1
  check "... Retry scans again" wait_until 60 box_up
  check "... and fails the same way" \
    test "$(box_text)" = "Cannot reach the update server. Please check your Internet connection."
  box_answer 2
  wait_until 10 page_visible QuillaryHomePage
  serve "$work/updates" status:503
  report
  check "a 503: error_network_error with the status" \
    test "$(box_text)" = "The update server returned an error (HTTP 503). Please try again."
  box_answer 2
  serve "$work/updates" oversize
  report
  local text
  text=$(box_text)
  check "a reply too large: the transfer's own error text ($text)" \
    bash -c "[ -n \"\$1\" ] && ! grep -q -e HTTP -e 'Cannot reach' <<<\"\$1\"" _ "$text"
  box_answer 2
  serve "$work/updates" bad-xml
  report
  check "a reply that is not XML: error_invalid_date" \
    test "$(box_text)" = "The update server sent an invalid reply. Please try again."
  shot failure-report
  box_answer 2
  wait_until 10 page_visible QuillaryHomePage

  # The band behind the first status line is centred on the main area (the
  # client area less the 250-pixel side bar), to the pixel.
  band_offset() {
    main screenshot "$(windows_path "$work/status.png")" --client >/dev/null
    /usr/bin/python3 - "$work/status.png" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert('RGB')
band = (226, 240, 253)
main_width = im.width - 250
for y in range(120, im.height - 60):
    xs = [x for x in range(main_width) if im.getpixel((x, y)) == band]
    if len(xs) > 100:
        print(abs((xs[0] + xs[-1] + 1) / 2 - main_width / 2) <= 1)
        break
PY
  }
  stall 30
  nav Home
  start_button
  wait_until 10 page_visible QuillaryScanPage
  sleep 1
  shot scan-page
  check "the status lines are centred on the main area" test "$(band_offset)" = True
  caption Maximize  # maximised: a resize while the scan runs
  wait_until 10 zoomed
  sleep 0.5
  check "... and again after a resize during the scan" test "$(band_offset)" = True
  check "... which goes on" page_visible QuillaryScanPage
  stop_program
}

# --- --autoscan and --autorun ----------------------------------------------------------
section_starts() {
  # Each query is held for a few seconds and then dropped: a scan fails
  # over across the three addresses, so it runs three times as long.
  stall 2
  start --autoscan
  check "--autoscan: the scan page with a scan under way at first sight" page_visible QuillaryScanPage
  wait_until 60 box_up
  box_answer 2
  wait_until 10 page_visible QuillaryHomePage
  # Long enough for a second start (a Wine process of its own, slow on a
  # busy machine) to come while the scan still runs: 15 s in all.
  stall 5
  (cd "$program" && "$wine_run" quillary.exe --autorun)
  check "a second start with --autorun exits with -1" test "$?" = 255
  check "... and starts a scan in the idle window" wait_until 10 page_visible QuillaryScanPage
  wait_until 10 bash -c "grep -q connection '$work/service.out'"
  (cd "$program" && "$wine_run" quillary.exe --autorun)
  check "a second --autorun while scanning exits with -1" test "$?" = 255
  wait_until 60 box_up
  check "... and only brings the window to the front: one scan's three queries" test "$(connections)" = 3
  box_answer 2
  stop_program
}

# --- the tray and what closing does ---------------------------------------------------
section_tray() {
  serve "$work/updates"
  fresh_settings
  start
  # Wine's tray window shows while it holds an icon; the program adds its
  # icon after the first paint, again until the shell takes it.
  tray_holds_icon() { tray state | grep -q '"visible": true'; }
  check "the tray icon is in the notification area" wait_until 30 tray_holds_icon
  tray_click click
  check "a left click on the tray icon hides the window" wait_until 10 hidden
  tray_click click
  check "... and the next shows it" wait_until 10 visible
  check "... in the foreground" wait_until 10 foreground
  tray_click right
  check "a right click opens the menu" wait_until 10 probe wait "" --class '#32768' --visible --timeout 100
  shot tray-menu
  probe key "" escape --class '#32768' >/dev/null
  sleep 0.5

  caption Close
  check "closing with the default setting says once that the program stays in the tray" wait_until 10 box_up
  check "... with system_tray_warning" test "$(box_text)" = "Quillary will keep running in the system tray."
  box_answer 1
  check "... then hides the window" wait_until 10 hidden
  check "... and keeps close_to_tray 2" test "$(setting close_to_tray)" = 0x2
  tray_click click
  wait_until 10 visible
  caption Close
  check "the next close hides it" wait_until 10 hidden
  check "... without a word" no_box
  stop_program
  set_setting close_to_tray 0
  start
  caption Close
  check "with close_to_tray 0 closing ends the program" wait_until 20 ended
  check "... with exit code 0" test "$ended_with" = 0
}

# --- the background scan -----------------------------------------------------------------
section_background() {
  # The stand-in installers record any installation that would start.
  cp "$bin/../standin/DPInst64.exe" "$bin/../standin/DPInst32.exe" "$program/" || exit 1
  set_setting close_to_tray 2
  serve "$work/updates"  # three devices out of date
  QUILLARY_TEST_BACKGROUND_MS=3000 start test
  check "the tray shows the normal icon" tray_normal
  caption Close
  wait_until 10 hidden
  check "15 minutes (here 3 seconds) after hiding, a scan runs in the background" wait_until 60 tray_alert
  check "... and the alert icon stays" tray_alert
  balloon_of_3() { probe tooltips | grep -qxF '{"text": "Driver updates available: 3"}'; }
  check "... with a balloon telling of 3 new drivers" wait_until 20 balloon_of_3
  shot balloon
  tray_click click
  wait_until 10 visible
  check "showing the window puts the normal icon back" wait_until 10 tray_normal
  check "... on the download page" page_visible DownloadWindow
  local scans
  scans=$(queries)
  caption Close
  wait_until 10 hidden
  sleep 6
  check "hiding again in the same run starts no second background scan ($scans, now $(queries))" test "$(queries)" = "$scans"

  # The weekly task starts the program with --autorun: a scan in the
  # running window. Neither it nor the background scan takes anything.
  tray_click click
  wait_until 10 visible
  (cd "$program" && "$wine_run" quillary.exe --autorun)
  wait_until 30 bash -c "[ \$(grep -c '\"POST /\"' '$work/service.out') -gt $scans ]"
  wait_until 60 page_visible DownloadWindow
  check "neither the background scan nor the weekly task's scan fetches a package" \
    bash -c "! grep -q '\"GET /packages' '$work/service.out'"
  check "... nor makes a download" bash -c '[ -z "$(find "$1" -type f 2>/dev/null)" ]' _ "$program/download"
  check "... nor installs anything" test ! -e "$program/dpinst-calls.txt" -a ! -e "$program/setup.dat"
  stop_program
}

# --- objects across scans -----------------------------------------------------------------
section_objects() {
  serve "$work/updates"
  local objects="$work/objects.txt"
  QUILLARY_TEST_OBJECT_LOG=$(windows_path "$objects") start test
  scan_once() {  # pressed through their default actions: these scans are about objects, not input
    press Home
    wait_until 10 page_visible QuillaryHomePage
    press "Start scan"
    wait_until 60 page_visible DownloadWindow
  }
  scan_once
  main post QuillaryTestCountObjects >/dev/null
  wait_until 60 test -s "$objects"
  for _ in $(seq 19); do scan_once; done
  main post QuillaryTestCountObjects >/dev/null
  wait_until 60 bash -c "[ \$(wc -l < '$objects') = 2 ]"
  local gdi_first user_first gdi_last user_last
  read -r gdi_first user_first < <(head -n 1 "$objects" | tr -d '\r')
  read -r gdi_last user_last < <(tail -n 1 "$objects" | tr -d '\r')
  check "after 20 scans the GDI objects are within 5 of the first scan's ($gdi_first, now $gdi_last)" \
    test $((gdi_last - gdi_first)) -le 5 -a "${gdi_first:-0}" -gt 0
  check "... and the USER objects ($user_first, now $user_last)" \
    test $((user_last - user_first)) -le 5 -a "${user_first:-0}" -gt 0
  stop_program
}

for section in "${sections[@]}"; do "section_$section"; done
mkdir -p "$root/out/main-window"
cp "$work"/*.png "$root/out/main-window/" 2>/dev/null
report_checks main_window_test
