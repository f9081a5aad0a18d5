#!/usr/bin/env bash
# Screenshots of the download page for looking at it, in English, Japanese
# and Arabic: the page after a scan with one download complete and one
# running (download-page-CODE.png), a panel's context menu
# (download-menu-CODE.png), the download-all question
# (download-all-warning-CODE.png), the device details dialog
# (device-details-CODE.png), a panel whose installation runs
# (download-installing-CODE.png) and the warning after it that no restore
# point was made (download-restore-point-CODE.png); the card reader's package
# comes without its signature, and its panel shows the refusal. Runs the program's test build under Wine
# against quillary-service with slow package downloads.
#
# usage: download_page_gallery.sh WINDOWS_BIN NATIVE_BIN OUT_DIR   (inside an X display)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" download_page_gallery "$1"
native=$(cd "$2" && pwd)
out=$(mkdir -p "$3" && cd "$3" && pwd)
gui="$root/tests/gui"
test_name=download_page_gallery
source "$gui/program_test.sh"

mkdir -p "$work/mixed"
cp "$work/sample/"*.zip "$work/mixed/"
"$gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/mixed" 3 --shared --decoration NTamd64.6.1 || exit 1
downloads="$program/download"
source "$gui/download_panels.sh"
complete() { is_state "$1" complete; }
panel_gone() { ! main children DownloadPanel | grep -qF "$(link_of "$1")"; }
screen() { import -window root "$out/$1.png" 2>/dev/null; }

serve "$work/mixed" rate:100
# One package offered without its signature, which the program refuses: its
# panel shows the refusal in every language.
rm -f "$work/mixed/calder_cardreader_3.1.2.15.zip.minisig"
kill -HUP "$service"
wait_until 20 grep -q "catalogue read again" "$work/service.out"
# The installer's start is held while this file exists, so that a panel can
# be seen installing.
export QUILLARY_TEST_SHELL_LOG QUILLARY_TEST_INSTALL_HOLD
QUILLARY_TEST_SHELL_LOG=$(windows_path "$work/shell.log")
QUILLARY_TEST_INSTALL_HOLD=$(windows_path "$work/hold")
declare -A codes=([English]=en [日本語]=ja [العربية]=ar)
for language in English 日本語 العربية; do
  code=${codes[$language]}
  stop_program
  rm -rf "$program/download"
  fresh_settings
  set_setting close_to_tray 0
  set_setting_text language "$language"
  start test
  start_button
  wait_until 120 page_visible DownloadWindow
  action update1.zip
  wait_until 30 complete update1.zip
  touch "$work/hold"
  action update1.zip
  wait_until 20 grep -q DPInst "$work/shell.log"
  away
  sleep 0.5
  screen "download-installing-$code"
  rm -f "$work/hold" "$work/shell.log"
  probe wait "" --class '#32770' --visible --timeout 20000 >/dev/null
  sleep 0.5
  screen "download-restore-point-$code"
  box_answer 1
  action update2.zip
  sleep 2
  away
  sleep 0.5
  screen "download-page-$code"
  context_menu update1.zip
  sleep 0.5
  screen "download-menu-$code"
  menu_choose Details
  probe wait "*" --class '#32770' --visible --timeout 10000 >/dev/null
  sleep 0.5
  screen "device-details-$code"
  probe key "*" escape --class '#32770' >/dev/null
  sleep 0.5
  bar_click "Download all"
  wait_until 10 box_up
  sleep 0.5
  screen "download-all-warning-$code"
  box_answer 2
  # One update hidden (not one on its way in, whose item is greyed): the
  # header's link tells how many.
  context_menu lumora_webcam_suite_3.4.1.0.zip
  menu_choose "Do not offer this again"
  wait_until 10 panel_gone lumora_webcam_suite_3.4.1.0.zip
  away
  sleep 0.5
  screen "download-hidden-$code"
done
stop_program
echo "download_page_gallery: screenshots in $out"
