#!/usr/bin/env bash
# The backup and restore pages and the settings and about dialogs under
# Wine, with real input (window_probe's SendInput, xdotool for typing),
# after a scan against quillary-service on ports of the test's own (the
# test build takes the addresses from QUILLARY_TEST_SERVERS). A driver
# store is built in the prefix for the demo PC's drivers.
#
#   backup    only vendor drivers: one group, expanded; a group's box ticks
#             its packages, a package unticked unticks the group only; with
#             nothing ticked "backup_no_driver"; two ticked packages are
#             backed up in tree order
#   restore   a second archive ticked unticks the first; an archive shows
#             its first device; nothing ticked "restore_no_driver"; the
#             ticked archive reaches the driver package installer, and the
#             page then says no restore point was made (Wine has no System
#             Restore); every archive deleted: "restore_no_backup"
#   settings  a backup folder that does not exist; the three-state
#             close-to-tray box; the weekly scan's box and Cancel; a new
#             language with its notice, the old texts until the next start,
#             then the divider at 320 for French
#   about     the updater from update\update.exe below the program's folder
#
# usage: backup_settings_test.sh WINDOWS_BIN STANDIN_DIR NATIVE_BIN [SECTION...]
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" backup_settings_test "$1"
standins=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
shift 3
sections=("$@")
[ ${#sections[@]} -gt 0 ] || sections=(backup restore settings about)
gui="$root/tests/gui"
port=${QUILLARY_TEST_PORT:-18151}
export QUILLARY_TEST_SERVERS="http://127.0.0.1:$port/ http://127.0.0.1:$((port + 1))/ http://127.0.0.1:$((port + 2))/"

no_box() { ! probe wait "" --class '#32770' --visible --timeout 1500 >/dev/null; }
source "$(dirname "${BASH_SOURCE[0]}")/message_box.sh"
dialog() {  # dialog TITLE COMMAND ARG...: a probe command on a dialog of the program
  local title=$1 command=$2
  shift 2
  probe "$command" "$title" "$@" --class '#32770'
}
dialog_up() { probe wait "$1" --class '#32770' --visible --timeout 100 >/dev/null; }
dialog_gone() { ! probe wait "$1" --class '#32770' --visible --timeout 100 >/dev/null; }
click_item() { dialog "$1" mouse click 20 8 --child-id "$2" >/dev/null; sleep 0.3; }

# --- the program, the demo PC, its driver store and the service ---------------------
program="$work/program"
mkdir -p "$program/update"
cp "$bin/quillary-test.exe" "$bin/language.ini" "$standins/DPInst64.exe" "$standins/DPInst32.exe" "$program/"
cp "$standins/DPInst64.exe" "$program/update/update.exe"
"$root/scripts/make-sample-catalogue" "$work/sample" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/sample/catalogue.json" > "$work/demo-pc.json" || exit 1
"$wine_run" "$bin/inject_devices.exe" "$(windows_path "$work/demo-pc.json")" >/dev/null || exit 1
"$gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/updates" 3 || exit 1
windows_folder=$("$wine_run" winepath -u 'C:\windows' 2>/dev/null)
store="$windows_folder/system32/DriverStore/FileRepository"

service=
stop_service() { [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null; service=; }
service_ready() { [ "$(grep -c listening "$work/service.out")" = 3 ]; }
"$root/scripts/sign-packages" "$work/updates" --sample >/dev/null 2>&1 || exit 1
"$native/quillary-service" --catalogue "$work/updates" --listen 127.0.0.1:$port \
  --listen 127.0.0.1:$((port + 1)) --listen 127.0.0.1:$((port + 2)) > "$work/service.out" 2>&1 &
service=$!
wait_until 20 service_ready || { echo "backup_settings_test: quillary-service did not start"; cat "$work/service.out"; exit 1; }

start() {  # the test build from its folder, shown
  (cd "$program" && "$wine_run" quillary-test.exe) &
  target=$!
  main wait --timeout 60000 --visible >/dev/null
  main mouse move 300 300 >/dev/null
}
stop_program() {
  [ -z "$target" ] && return
  "$wine_run" taskkill /f /im quillary-test.exe >/dev/null 2>&1
  wait "$target" 2>/dev/null
  target=
}
trap 'stop_program; stop_service; cleanup' EXIT
set_setting() { "$wine_run" reg add 'HKCU\Software\Korvane' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
setting() { "$wine_run" reg query 'HKCU\Software\Korvane' /v "$1" 2>/dev/null | tr -d '\r' | awk '/REG_/ {print $3}'; }
text_setting() {  # a text value whole, whatever its letters: through regedit's UTF-16 export
  rm -f "$work/settings.reg"
  "$wine_run" regedit /E "$(windows_path "$work/settings.reg")" 'HKEY_CURRENT_USER\Software\Korvane' >/dev/null 2>&1
  python3 - "$work/settings.reg" "$1" <<'PY'
import re, sys
text = open(sys.argv[1], "rb").read().decode("utf-16")
match = re.search(r'^"%s"="(.*)"\r?$' % re.escape(sys.argv[2]), text, re.M)
print(match.group(1).replace("\\\\", "\\") if match else "")
PY
}
fresh_settings() {
  "$wine_run" reg delete 'HKCU\Software\Korvane' /f >/dev/null 2>&1
  start && stop_program  # the first run seeds the key
  set_setting close_to_tray REG_DWORD 0
}

geometry() {
  local info
  info=$(main info)
  read -r window_left window_top window_right window_bottom frame < <(python3 -c '
import json, sys
d = json.loads(sys.argv[1])
print(*d["window"], d["client"][0] - d["window"][0])' "$info")
  window_width=$((window_right - window_left))
}
nav() { geometry; main mouse click $((frame + 51 + 82 * $1)) $((frame + 56)) --window >/dev/null; sleep 0.5; }  # 0 home .. 4 settings
caption() { geometry; main mouse click $((window_width - frame - 15 - 30 * $1)) $((frame + 10)) --window >/dev/null; }  # 3 menu
scan() {
  main mouse click 270 230 >/dev/null
  wait_until 60 page_visible DownloadWindow
}
shot() { import -window root "$work/$1.png" 2>/dev/null; }

source "$gui/tree_page_test.sh"

# --- backup ------------------------------------------------------------------------------
section_backup() {
  rm -rf "$store"
  python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" --vendor-only || exit 1
  fresh_settings
  start
  scan
  nav 2
  check "the backup page opens after a scan" wait_until 10 page_visible BackupWindow
  check "only vendor drivers: one group" test "$(tree_query 'len(roots)')" = 1
  check "... the available group" test "$(tree_query 'roots[0]["text"]')" = "Third-party drivers"
  check "... expanded" test "$(tree_query 'roots[0]["expanded"]')" = True
  check "... with its packages, a box each" test "$(tree_query 'len(packages) > 1 and all(p["box"] == 1 for p in packages)')" = True
  check "... and devices without a box" test "$(tree_query 'all(i["box"] == 0 for i in items if i["level"] == 2)')" = True
  shot backup-vendor-only
  stop_program

  python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" || exit 1
  start
  scan
  nav 2
  wait_until 10 page_visible BackupWindow
  check "vendor and Windows drivers: two groups" \
    test "$(tree_query '[r["text"] for r in roots]')" = "['Third-party drivers', 'Drivers included with Windows']"
  check "... the Windows group folded" test "$(tree_query 'roots[1]["expanded"]')" = False
  check "... packages sorted by text" \
    test "$(tree_query '[p["text"].lower() for p in under(roots[0])] == sorted(p["text"].lower() for p in under(roots[0]))')" = True
  action_button
  check "backing up with nothing ticked: backup_no_driver" wait_until 10 box_up
  check "... says so" test "$(box_text)" = "Please select at least one driver to back up."
  box_answer 1

  tick 'roots[0]'
  check "ticking the group ticks all its packages" test "$(tree_query 'all(p["box"] == 2 for p in under(roots[0]))')" = True
  check "... and not the other group's" test "$(tree_query 'any(p["box"] == 2 for p in under(roots[1]))')" = False
  tick 'under(roots[0])[1]'
  check "unticking one package unticks the group" test "$(tree_query 'roots[0]["box"]')" = 1
  check "... and leaves the other packages ticked" \
    test "$(tree_query '[p["box"] for p in under(roots[0])].count(2) == len(under(roots[0])) - 1 and under(roots[0])[1]["box"] == 1')" = True
  tick 'roots[0]'
  tick 'roots[0]'
  check "the group ticked and unticked again: nothing ticked" test "$(tree_query 'any(p["box"] == 2 for p in packages)')" = False

  # Two packages: the first vendor one, then the first of the Windows group.
  tick 'under(roots[0])[0]'
  select_row 'under(roots[0])[0]'
  main key right >/dev/null
  sleep 0.3
  select_row 'items[items.index(under(roots[0])[0]) + 1]'
  shot backup-page
  select_row 'roots[1]'
  main key right >/dev/null  # unfolds the group, as the keyboard does
  sleep 0.3
  check "the Windows group unfolds" test "$(tree_query 'roots[1]["expanded"]')" = True
  main key down >/dev/null  # its first package, scrolled into sight
  sleep 0.3
  tick 'under(roots[1])[0]'
  local expected
  expected=$(tree_query 'items[items.index(under(roots[0])[0]) + 1]["text"] + "|" + items[items.index(under(roots[1])[0]) + 1]["text"]')
  action_button
  check "two ticked packages are backed up" wait_until 60 box_up
  check "... backup_completed" test "$(box_text)" = "Backup completed successfully."
  shot backup-completed
  box_answer 1
  local recorded
  recorded=$(python3 - "$program/backup.xml" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.fromstring(open(sys.argv[1], "rb").read())
print("|".join(d.find("devices/device/desc").text.strip() for d in root.findall("driver")))
PY
)
  check "... in tree order, the vendor group first ($recorded)" test "$recorded" = "$expected"
  check "... two archives" test "$(ls "$program/backup"/*.zip | wc -l)" = 2
  stop_program
}

# --- restore -----------------------------------------------------------------------------
section_restore() {
  [ -f "$program/backup.xml" ] || section_backup
  set_setting close_to_tray REG_DWORD 0
  start
  scan
  nav 3
  check "the restore page opens" wait_until 10 page_visible RestoreWindow
  check "... one root per archive" test "$(tree_query 'len(roots)')" = 2
  check "... its devices below it" test "$(tree_query 'all(len([i for i in items if i["level"] == 1]) >= 2 for _ in [0])')" = True
  action_button
  check "restoring with nothing ticked: restore_no_driver" wait_until 10 box_up
  check "... says so" test "$(box_text)" = "Please select a backup to restore."
  box_answer 1
  tick 'roots[0]'
  tick 'roots[1]'
  check "ticking a second archive unticks the first" test "$(tree_query '[r["box"] for r in roots]')" = "[1, 2]"
  tick 'roots[1]'
  check "unticking it leaves none ticked" test "$(tree_query '[r["box"] for r in roots]')" = "[1, 1]"

  panel() { main screenshot "$(windows_path "$work/$1.png")" --child-class RestoreWindow --visible >/dev/null; }
  same_panel() {
    /usr/bin/python3 - "$work/$1.png" "$work/$2.png" <<'PY'
import sys
from PIL import Image, ImageChops
a, b = (Image.open(p).convert("RGB").crop((305, 30, 800, 230)) for p in sys.argv[1:3])
sys.exit(0 if ImageChops.difference(a, b).getbbox() is None else 1)
PY
  }
  panel nothing-selected
  select_row 'roots[1]'
  panel archive-selected
  main key right >/dev/null
  sleep 0.3
  select_row 'items[items.index(roots[1]) + 1]'
  panel first-device-selected
  check "a selected archive shows its first device's details" same_panel archive-selected first-device-selected
  panels_differ() { ! same_panel "$@"; }
  check "... which differ from none at all" panels_differ nothing-selected archive-selected
  select_row 'roots[1]'
  shot restore-page

  tick 'roots[0]'
  local archive
  archive=$(tree_query 'roots[0]["text"]')
  rm -f "$program/dpinst-calls.txt"
  action_button
  check "the ticked archive goes to the driver package installer" \
    wait_until 30 test -s "$program/dpinst-calls.txt"
  local folder
  folder=$(windows_path "$program/backup/${archive%.zip}")
  check "... forced, on the archive's unpacked folder" grep -qF "/F /PATH \"$folder\"" "$program/dpinst-calls.txt"
  check "... and the page says no restore point was made (Wine has no System Restore)" no_restore_point_said
  shot restore-point-notice
  box_answer 1

  # A filtered administrator whose prompt for the restore is declined.
  stop_program
  cp "$bin/quillary-cli.exe" "$program/"
  QUILLARY_TEST_RIGHTS=can_elevate QUILLARY_TEST_ELEVATION=decline start
  scan
  nav 3
  wait_until 10 page_visible RestoreWindow
  tick 'roots[0]'
  rm -f "$program/dpinst-calls.txt"
  action_button
  check "a restore whose prompt is declined says so" wait_until 20 box_up
  check "... in its words" test "$(box_text)" = "Nothing was installed: permission to change the system was not given."
  box_answer 1
  check "... having started nothing" test ! -e "$program/dpinst-calls.txt"

  rm -f "$program/backup"/*.zip
  nav 2
  nav 3
  check "with every archive deleted the restore page says restore_no_backup" wait_until 10 box_up
  check "... in those words" test "$(box_text)" = "No driver backups were found."
  shot restore-no-backup
  box_answer 1
  check "... and the tree is empty" test "$(tree_query 'len(items)')" = 0
  stop_program
}

# --- settings ----------------------------------------------------------------------------
job_file() { find "$windows_folder" -maxdepth 2 -ipath '*/tasks/quillary.job' | head -n 1; }
job_trigger_flags() {  # the flags of the weekly scan task's first trigger, from its .job file
  python3 - "$(job_file)" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 0x44 + 2  # the fixed part, then the running instance count
for _ in range(5):  # application, parameters, working folder, author, comment
    (count,) = struct.unpack_from("<H", data, at)
    at += 2 + count * 2
for _ in range(2):  # user data, reserved data
    (size,) = struct.unpack_from("<H", data, at)
    at += 2 + size
(triggers,) = struct.unpack_from("<H", data, at)
print(struct.unpack_from("<I", data, at + 2 + 28)[0] if triggers else "none")
PY
}
caption_close() {  # caption_close TITLE: the skinned close button at the dialog's top right
  local info edge width
  info=$(dialog "$1" info)
  read -r edge width < <(python3 -c '
import json, sys
d = json.loads(sys.argv[1])
print(d["client"][0] - d["window"][0], d["window"][2] - d["window"][0])' "$info")
  dialog "$1" mouse click $((width - edge - 15)) $((edge + 10)) --window >/dev/null
}
settings_open() { probe wait Settings --class '#32770' --visible --timeout 100 >/dev/null; }
open_settings() { nav 4; wait_until 10 settings_open; sleep 0.3; }
settings_ok() { click_item Settings 1; }
type_into() {  # type_into ITEM TEXT: replaces the edit's text as a user does
  click_item Settings "$1"
  xdotool key --clearmodifiers End shift+Home BackSpace
  xdotool type --delay 15 "$2"
  sleep 0.3
}

section_settings() {
  fresh_settings
  set_setting close_to_tray REG_DWORD 2
  set_setting scheduled_scan REG_DWORD 0
  rm -f "$(job_file)"
  start
  open_settings
  check "the settings button opens the settings dialog" settings_open
  geometry
  local info
  info=$(dialog Settings info)
  check "... 640 x 480" test "$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0], w[3]-w[1])' "$info")" = "640 480"
  check "... with the edits at their places" test "$(dialog Settings info --child-id 1001 | python3 -c '
import json, sys
d = json.load(sys.stdin)
print(d["client"][2] - d["client"][0], d["client"][3] - d["client"][1])')" = "350 18"
  shot settings-dialog
  check "close_to_tray 2: the box shows its third state" test "$(dialog Settings checked --child-id 1005)" = 2

  local backup_before
  backup_before=$(text_setting backup_path)
  type_into 1001 'C:\no\such\folder'
  settings_ok
  check "a backup folder that does not exist: invalid download path" \
    wait_until 10 probe wait Quillary --class '#32770' --visible --timeout 100
  check "... in those words" test "$(probe texts Quillary --class '#32770' | head -n 1)" = "invalid download path"
  shot invalid-path
  probe key Quillary enter --class '#32770' >/dev/null
  sleep 0.5
  check "... the dialog stays" settings_open
  click_item Settings 2
  check "... Cancel closes it" wait_until 10 dialog_gone Settings
  check "... and nothing was saved" test "$(text_setting backup_path)" = "$backup_before"
  check "... (a folder was saved before)" test -n "$backup_before"

  open_settings
  settings_ok
  wait_until 10 dialog_gone Settings
  check "OK with the third state untouched keeps close_to_tray 2" test "$(setting close_to_tray)" = 0x2
  open_settings
  click_item Settings 1005
  click_item Settings 1005
  check "unchecking and checking the box again checks it" test "$(dialog Settings checked --child-id 1005)" = 1
  settings_ok
  wait_until 10 dialog_gone Settings
  check "... which OK saves as close_to_tray 1" test "$(setting close_to_tray)" = 0x1

  open_settings
  click_item Settings 1006
  sleep 1
  # The system's property dialog of the task, where Wine has one, is closed unchanged.
  probe wait Quillary.job --visible --timeout 1000 >/dev/null && probe key Quillary.job escape >/dev/null
  check "checking the weekly scan's box makes the task at once" test -n "$(job_file)"
  check "... enabled" test "$(job_trigger_flags)" = 0
  caption_close Settings
  check "the caption's close button ends the dialog" wait_until 10 dialog_gone Settings
  check "... as Cancel does: the task's trigger is disabled again" test "$(job_trigger_flags)" = 4
  check "... and scheduled_scan stays 0" test "$(setting scheduled_scan)" = 0x0

  open_settings
  click_item Settings 1007
  for _ in 1 2 3; do probe key Settings down --class '#32770' >/dev/null; done
  probe key Settings enter --class '#32770' >/dev/null
  sleep 0.3
  settings_ok
  check "another language: the change notice" wait_until 10 box_up
  check "... config_language_change_notice" \
    test "$(box_text)" = "The new language will be used the next time Quillary starts."
  shot language-notice
  box_answer 1
  check "... once" no_box
  check "... the dialog closed" dialog_gone Settings
  check "... and the language saved" test "$(text_setting language)" = "Français"
  open_settings
  check "the dialog keeps the old texts until the next start" \
    test "$(dialog Settings text --child-id 1004)" = "Start with Windows"
  click_item Settings 2
  wait_until 10 dialog_gone Settings
  stop_program

  divider_at() {  # the divider's dark middle line at x in the dialog's client area
    local colour
    colour=$(dialog Settings pixel "$1" 250)
    [ "$colour" != "#FFFFFF" ]
  }
  start
  open_settings
  check "after a new start the dialog is in French" \
    test "$(dialog Settings text --child-id 1004)" = "$(python3 - "$bin/language.ini" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
section = text.split("[Français]")[1].split("\n[")[0]
print(re.search(r'^config_start_when_windows_startup="(.*)"', section, re.M).group(1))
PY
)"
  check "... with the divider at 320" divider_at 321
  check "... not at 300" bash -c "[ \"\$('$wine_run' '$bin/window_probe.exe' pixel Settings 301 250 --class '#32770' | tr -d '\r')\" = '#FFFFFF' ]"
  shot settings-dialog-fr
  click_item Settings 2
  stop_program
  set_setting language REG_SZ English
}

# --- about -------------------------------------------------------------------------------
open_about() {  # the caption menu's About: the menu's third item
  caption 3
  wait_until 10 probe wait "" --class '#32768' --visible --timeout 100
  for _ in 1 2 3; do probe key "" down --class '#32768' >/dev/null; done
  probe key "" enter --class '#32768' >/dev/null
}

section_about() {
  set_setting close_to_tray REG_DWORD 0
  rm -f "$program/update/dpinst-calls.txt"
  start
  open_about
  check "the caption menu's About opens the about dialog" wait_until 10 dialog_up About
  local info
  info=$(dialog About info)
  check "... 500 x 400" test "$(python3 -c 'import json,sys; w=json.loads(sys.argv[1])["window"]; print(w[2]-w[0], w[3]-w[1])' "$info")" = "500 400"
  check "... its updater button reads about_btn_check" test "$(dialog About text --child-id 1)" = "Check for updates"
  check "... its other button about_btn_bk" test "$(dialog About text --child-id 2)" = "Close"
  shot about-dialog
  click_item About 2
  check "Close ends it" wait_until 10 dialog_gone About
  check "... starting nothing" test ! -e "$program/update/dpinst-calls.txt"

  probe mouse "Wine System Tray" right 10 10 >/dev/null
  wait_until 10 probe wait "" --class '#32768' --visible --timeout 100
  probe key "" down --class '#32768' >/dev/null
  probe key "" enter --class '#32768' >/dev/null
  check "the tray menu's first item opens the settings dialog" wait_until 10 settings_open
  click_item Settings 2
  wait_until 10 dialog_gone Settings

  open_about
  wait_until 10 dialog_up About
  click_item About 1
  check "the updater button closes the dialog" wait_until 10 dialog_gone About
  check "... and starts update\\update.exe below the program's folder" wait_until 20 test -s "$program/update/dpinst-calls.txt"
  check "... that program" grep -q '^update.exe|' "$program/update/dpinst-calls.txt"
  stop_program
}

# --- gallery: the pages and dialogs in English, Japanese and Arabic -----------------
# (not a check: screenshots for looking at, into $QUILLARY_GALLERY_OUT)
section_gallery() {
  local out=${QUILLARY_GALLERY_OUT:-$root/out/gallery}
  mkdir -p "$out"
  python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" || exit 1
  fresh_settings
  local language code
  for language in English 日本語 العربية; do
    case $language in English) code=en ;; 日本語) code=ja ;; *) code=ar ;; esac
    set_setting language REG_SZ "$language"
    set_setting close_to_tray REG_DWORD 0
    start
    scan
    nav 2
    wait_until 10 page_visible BackupWindow
    tick 'under(roots[0])[0]'
    tick 'under(roots[0])[1]'
    select_row 'under(roots[0])[0]'
    main key right >/dev/null
    sleep 0.3
    select_row 'items[items.index(under(roots[0])[0]) + 1]'
    main mouse move 300 5 >/dev/null
    main screenshot "$(windows_path "$out/backup-page-$code.png")" >/dev/null
    if [ ! -f "$program/backup.xml" ]; then
      action_button
      wait_until 60 box_up
      box_answer 1
    fi
    nav 3
    wait_until 10 page_visible RestoreWindow
    tick 'roots[0]'
    select_row 'roots[0]'
    main mouse move 300 5 >/dev/null
    main screenshot "$(windows_path "$out/restore-page-$code.png")" >/dev/null
    open_settings
    dialog Settings screenshot "$(windows_path "$out/settings-dialog-$code.png")" >/dev/null
    click_item Settings 2
    wait_until 10 dialog_gone Settings
    open_about
    wait_until 10 dialog_up About
    sleep 0.3
    dialog About screenshot "$(windows_path "$out/about-dialog-$code.png")" >/dev/null
    click_item About 2
    stop_program
  done
  local pair
  for pair in de:Deutsch es:Español fr:Français it:Italiano zh-cn:简体中文 zh-tw:繁體中文 nl:Nederlands pt:Português; do
    set_setting language REG_SZ "${pair#*:}"
    start
    open_settings
    dialog Settings screenshot "$(windows_path "$out/settings-dialog-${pair%%:*}.png")" >/dev/null
    click_item Settings 2
    stop_program
  done
  set_setting language REG_SZ English
  echo "gallery: screenshots in $out"
}

for section in "${sections[@]}"; do "section_$section"; done
mkdir -p "$root/out/backup-settings"
cp "$work"/*.png "$root/out/backup-settings/" 2>/dev/null
report_checks backup_settings_test
