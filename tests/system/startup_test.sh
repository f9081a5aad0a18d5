#!/usr/bin/env bash
# quillary.exe under Wine, end to end: a first start creates the settings and
# shows the window; second starts hand their command line over and exit with
# -1; a start without language.ini reports failure code 4, one without a WMI
# connection (the test build's seam) failure code 2 without ever showing its
# window.
#
# usage: startup_test.sh BIN_DIR   (quillary.exe, language.ini, window_probe.exe)
# Needs an X display (run the Windows tests under xvfb-run).
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" startup_test "$1"

probe() { "$wine_run" "$bin/window_probe.exe" "$@"; }
quillary() { (cd "$work" && "$wine_run" "$work/quillary.exe" "$@"); }
window_state() { probe state Quillary --class MainWindow; }

cp "$bin/quillary.exe" "$bin/quillary-test.exe" "$bin/language.ini" "$work/"
"$wine_run" reg delete 'HKCU\Software\Korvane' /f >/dev/null 2>&1

# --- first start ---------------------------------------------------------
quillary &
target=$!
check "the first start shows the Quillary window" \
  probe wait Quillary --class MainWindow --timeout 30000 --visible

settings=$("$wine_run" reg query 'HKCU\Software\Korvane' 2>/dev/null | tr -d '\r')
today=$(date -u +%Y-%m-%d)
for value in "download_path    REG_SZ" "backup_path    REG_SZ" "language    REG_SZ    English" \
             "install_date    REG_SZ    $today" "autorun    REG_DWORD    0x0" \
             "scan_offline    REG_DWORD    0x0" "close_to_tray    REG_DWORD    0x1" \
             "scheduled_scan    REG_DWORD    0x0"; do
  check "settings key holds: $value" grep -qF "$value" <<<"$settings"
done
check "the download and backup folders are created" test -d "$work/download" -a -d "$work/backup"

# --- second starts ---------------------------------------------------------
second_start() {  # second_start EXPECTED_STATE ARGS...
  local expected=$1
  shift
  quillary "$@"
  local rc=$?
  check "a second start ${*:-without arguments} exits with -1" test "$rc" = 255
  check "... and leaves the window $expected" grep -q "$expected" <<<"$(window_state)"
}

# A window hidden in the tray comes back in front; a minimised one is shown
# but stays minimised.
probe hide Quillary --class MainWindow
second_start '"visible": true, "iconic": false, "foreground": true'
probe hide Quillary --class MainWindow
second_start '"visible": true, "iconic": false, "foreground": true' --AutoRun
# --autorun also starts a scan; no update service listens here, so it ends
# in the failure report, which Cancel closes.
check "... and --autorun starts a scan, here failing at once"   probe wait "" --class '#32770' --timeout 30000 --visible
probe mouse "" click 30 10 --class '#32770' --child-id 2 >/dev/null
probe hide Quillary --class MainWindow
second_start '"visible": true, "iconic": false, "foreground": true' --autorun extra
probe minimize Quillary --class MainWindow
second_start '"visible": true, "iconic": true' --autoscan

# The caption menu's last item, Exit, ends the program (closing the window
# would only hide it in the tray, as the settings of a first run say).
probe restore Quillary --class MainWindow
info=$(probe info Quillary --class MainWindow)
width=$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0])' "$info")
probe mouse Quillary click $((width - 109)) 14 --window --class MainWindow >/dev/null
probe wait "" --class '#32768' --timeout 10000 --visible >/dev/null
probe key "" up --class '#32768' >/dev/null
probe key "" enter --class '#32768' >/dev/null
wait "$target"
rc=$?
target=
check "Exit in the caption menu ends the first instance with 0" test "$rc" = 0

# --- no language.ini -------------------------------------------------------
rm "$work/language.ini"
quillary &
failed_pid=$!
check "a start without language.ini shows a message box" \
  probe wait Quillary --class '#32770' --timeout 30000 --visible
message=$(probe texts Quillary --class '#32770' | tr -d '\r')
check "the message names failure code 4" \
  grep -qxF "Application initialization failed, error code: 4." <<<"$message"
probe press Quillary OK --class '#32770'
wait "$failed_pid"
check "that start exits with -1" test "$?" = 255

# --- no WMI connection ----------------------------------------------------
# The connection is made on a thread while the window is made; the seam's
# refusal comes five seconds later, when the window exists but has not shown.
cp "$bin/language.ini" "$work/"
(cd "$work" && QUILLARY_TEST_WMI=unavailable "$wine_run" "$work/quillary-test.exe") &
failed_pid=$!
hidden_window() { window_state | grep -q '"visible": false'; }
check "while WMI is still tried the window is made, hidden" wait_until 5 hidden_window
check "a start without a WMI connection shows a message box" \
  probe wait Quillary --class '#32770' --timeout 30000 --visible
message=$(probe texts Quillary --class '#32770' | tr -d '\r')
check "the message names failure code 2" \
  grep -qxF "Application initialization failed, error code: 2." <<<"$message"
no_main_window() { ! probe find Quillary --class MainWindow >/dev/null 2>&1; }
check "... the window never having shown" no_main_window
probe press Quillary OK --class '#32770'
wait "$failed_pid"
check "that start exits with -1" test "$?" = 255

report_checks startup_test
