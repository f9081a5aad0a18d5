#!/usr/bin/env bash
# The program under a white-on-black high-contrast scheme: the user's
# colours are set in the prefix (HKCU\Control Panel\Colors) and, since
# Wine 8 never reports HCF_HIGHCONTRASTON (SPI_GETHIGHCONTRAST answers no
# flags and SPI_SETHIGHCONTRAST fails), the test build is told through
# QUILLARY_TEST_HIGH_CONTRAST to act as if the system did. The pages' grounds
# are the system's window colour, the download page's header band its
# highlight, and the home and download pages are saved as screenshots
# (high-contrast-home.png, high-contrast-download.png) for looking at, with
# the backup page (high-contrast-backup.png).
#
# usage: high_contrast_test.sh WINDOWS_BIN NATIVE_BIN ART_DIR [SHOT_DIR]
# Needs an X display. The update service listens on 127.0.0.1:18164-18166,
# apart from the other GUI tests' ports.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" high_contrast_test "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
shots=${4:-}
gui="$root/tests/gui"
test_name=high_contrast_test
source "$gui/program_test.sh"
[ -n "$shots" ] && mkdir -p "$shots" && shots=$(cd "$shots" && pwd)

own_ports 18164
export QUILLARY_TEST_HIGH_CONTRAST=1

# The scheme: Windows' "High Contrast Black" colours. Wine reads them when a
# process starts, so the program started after this sees them.
colours='Control Panel\Colors'
set_colour() { "$wine_run" reg add "HKCU\\$colours" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1; }
"$wine_run" reg export "HKCU\\$colours" "$(windows_path "$work/colours.reg")" /y >/dev/null 2>&1
restore_colours() {
  "$wine_run" reg delete "HKCU\\$colours" /f >/dev/null 2>&1
  [ -f "$work/colours.reg" ] && "$wine_run" regedit /s "$(windows_path "$work/colours.reg")" >/dev/null 2>&1
}
trap 'stop_program; stop_service; restore_colours; cleanup' EXIT
set_colour Window "0 0 0"
set_colour WindowText "255 255 255"
set_colour WindowFrame "255 255 255"
set_colour ButtonFace "0 0 0"
set_colour ButtonText "255 255 255"
set_colour Hilight "26 235 255"
set_colour HilightText "0 0 0"
set_colour GrayText "63 242 63"
set_colour HotTrackingColor "255 255 0"
set_colour ActiveTitle "0 0 0"
set_colour TitleText "255 255 255"

shot_here() {  # shot_here NAME: the main window's screenshot, kept in the shot folder
  local file="$work/$1.png"
  main screenshot "$(windows_path "$file")" >/dev/null
  [ -n "$shots" ] && cp "$file" "$shots/"
  [ -s "$file" ]
}
colour_at() { main pixel "$1" "$2" --child-class "$3"; }  # colour_at X Y CLASS: #RRGGBB in that child

fresh_settings
set_setting_text language English
serve "$work/updates"
start test
wait_until 20 access wait Quillary "Start scan" --class MainWindow --timeout 1000
away
colour_is() { [ "$(colour_at "$1" "$2" "$3")" = "$4" ]; }  # colour_is X Y CLASS #RRGGBB
heading_is_white() {  # some pixel along the heading's middle is the window's text colour
  local x
  for x in $(seq 20 4 120); do [ "$(colour_at "$x" 18 QuillaryHomePage)" = "#FFFFFF" ] && return 0; done
  return 1
}
check "the home page's ground is the system's window colour (black)" \
  wait_until 10 colour_is 5 300 QuillaryHomePage "#000000"
check "... its heading is in the window's text colour (white)" wait_until 10 heading_is_white
check "the home page's screenshot is taken" shot_here high-contrast-home

press "Start scan"
check "the scan leads to the download page" wait_until 90 page_visible DownloadWindow
wait_until 10 access wait Quillary "Best match" --class MainWindow --timeout 1000
away
check "the download page's header band is the system's highlight" \
  wait_until 10 colour_is 3 3 DownloadWindow "#1AEBFF"
check "the download page's screenshot is taken" shot_here high-contrast-download

press Backup
check "the backup page opens" wait_until 10 page_visible BackupWindow
away
tree_listed() { [ -n "$(main tree --child-class SysTreeView32 --visible)" ]; }
check "... its tree lists the drivers" wait_until 20 tree_listed
check "the backup page's screenshot is taken" shot_here high-contrast-backup

stop_program
report_checks high_contrast_test
