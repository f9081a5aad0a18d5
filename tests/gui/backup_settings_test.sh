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
test_name=backup_settings_test
source "$gui/program_test.sh"
own_ports "${QUILLARY_TEST_PORT:-18151}"

# The program's dialogs by their English titles (shown in the program's language).
dialog_title() { shown 'top_ menu_' "$1"; }
dialog() {  # dialog TITLE COMMAND ARG...: a probe command on a dialog of the program
  local title=$1 command=$2
  shift 2
  probe "$command" "$(dialog_title "$title")" "$@" --class '#32770'
}
dialog_up() { probe wait "$(dialog_title "$1")" --class '#32770' --visible --timeout 100 >/dev/null; }
dialog_gone() { ! probe wait "$(dialog_title "$1")" --class '#32770' --visible --timeout 100 >/dev/null; }
click_item() { dialog "$1" mouse click 20 8 --child-id "$2" >/dev/null; sleep 0.3; }

# --- the program with the stand-in installers, the demo PC's driver store, the service ---
mkdir -p "$program/update"
cp "$standins/DPInst64.exe" "$standins/DPInst32.exe" "$program/"
cp "$standins/DPInst64.exe" "$program/update/update.exe"
windows_folder=$("$wine_run" winepath -u 'C:\windows' 2>/dev/null)
store="$windows_folder/system32/DriverStore/FileRepository"
serve "$work/updates"

launch() { start test; away; }  # the test build from its folder, shown, the pointer off its buttons
seeded_settings() {  # fresh settings as the first run writes them, closing ends the program
  fresh_settings
  launch && stop_program
  set_setting close_to_tray 0
}
scan() {
  start_button
  wait_until 60 page_visible DownloadWindow
}

# --- backup ------------------------------------------------------------------------------
section_backup() {
  rm -rf "$store"
  python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" --vendor-only || exit 1
  seeded_settings
  launch
  scan
  nav Backup
  check "the backup page opens after a scan" wait_until 10 page_visible BackupWindow
  check "only vendor drivers: one group" test "$(tree_query 'len(roots)')" = 1
  check "... the available group" test "$(tree_query 'roots[0]["text"]')" = "Third-party drivers"
  check "... expanded" test "$(tree_query 'roots[0]["expanded"]')" = True
  check "... with its packages, a box each" test "$(tree_query 'len(packages) > 1 and all(p["box"] == 1 for p in packages)')" = True
  check "... and devices without a box" test "$(tree_query 'all(i["box"] == 0 for i in items if i["level"] == 2)')" = True
  shot backup-vendor-only
  stop_program

  python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" || exit 1
  launch
  scan
  nav Backup
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
  tree_key right
  select_row 'items[items.index(under(roots[0])[0]) + 1]'
  shot backup-page
  select_row 'roots[1]'
  tree_key right  # unfolds the group, as the keyboard does
  check "the Windows group unfolds" test "$(tree_query 'roots[1]["expanded"]')" = True
  tree_key down  # its first package, scrolled into sight
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
  set_setting close_to_tray 0
  launch
  scan
  nav Restore
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
  tree_key right
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
  QUILLARY_TEST_RIGHTS=can_elevate QUILLARY_TEST_ELEVATION=decline launch
  scan
  nav Restore
  wait_until 10 page_visible RestoreWindow
  tick 'roots[0]'
  rm -f "$program/dpinst-calls.txt"
  action_button
  check "a restore whose prompt is declined says so" wait_until 20 box_up
  check "... in its words" test "$(box_text)" = "Nothing was installed: permission to change the system was not given."
  box_answer 1
  check "... having started nothing" test ! -e "$program/dpinst-calls.txt"

  rm -f "$program/backup"/*.zip
  nav Backup
  nav Restore
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
caption_close() {  # caption_close TITLE: the skinned close button of the dialog's caption
  access click "$(dialog_title "$1")" "$(shown caption_ Close)" --class '#32770' --own --role pushbutton >/dev/null
}
settings_open() { dialog_up Settings; }
open_settings() { nav Settings; wait_until 10 settings_open; sleep 0.3; }
settings_ok() { click_item Settings 1; }
type_into() {  # type_into ITEM TEXT: replaces the edit's text as a user does
  click_item Settings "$1"
  xdotool key --clearmodifiers End shift+Home BackSpace
  xdotool type --delay 15 "$2"
  sleep 0.3
}

section_settings() {
  seeded_settings
  set_setting close_to_tray 2
  set_setting scheduled_scan 0
  rm -f "$(job_file)"
  launch
  open_settings
  check "the settings button opens the settings dialog" settings_open
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
  backup_before=$(setting backup_path)
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
  check "... and nothing was saved" test "$(setting backup_path)" = "$backup_before"
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
  click_item Settings 1007  # the language list drops down; typing chooses by the name's first letters
  dialog Settings key f >/dev/null
  dialog Settings key enter >/dev/null
  language_shown() { [ "$(dialog Settings text --child-id 1007)" = "$1" ]; }
  wait_until 5 language_shown Français
  settings_ok
  check "another language: the change notice" wait_until 10 box_up
  check "... config_language_change_notice" \
    test "$(box_text)" = "The new language will be used the next time Quillary starts."
  shot language-notice
  box_answer 1
  check "... once" no_box
  check "... the dialog closed" dialog_gone Settings
  check "... and the language saved" test "$(setting language)" = "Français"
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
  launch
  open_settings
  check "after a new start the dialog is in French" \
    test "$(dialog Settings text --child-id 1004)" = "$(language_text config_start_when_windows_startup)"
  check "... and so is its caption, which screen readers read" probe find Paramètres --class '#32770' --visible
  check "... with the divider at 320" divider_at 321
  check "... not at 300" test "$(dialog Settings pixel 301 250)" = '#FFFFFF'
  shot settings-dialog-fr
  click_item Settings 2
  stop_program
  set_setting_text language English
}

# --- about -------------------------------------------------------------------------------
open_about() {  # the caption menu's About
  caption Menu
  menu_choose About
}

section_about() {
  set_setting close_to_tray 0
  rm -f "$program/update/dpinst-calls.txt"
  launch
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
  menu_choose Settings
  check "the tray menu's Settings opens the settings dialog" wait_until 10 settings_open
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
  seeded_settings
  local language code
  for language in English 日本語 العربية; do
    case $language in English) code=en ;; 日本語) code=ja ;; *) code=ar ;; esac
    set_setting_text language "$language"
    set_setting close_to_tray 0
    launch
    scan
    nav Backup
    wait_until 10 page_visible BackupWindow
    tick 'under(roots[0])[0]'
    tick 'under(roots[0])[1]'
    select_row 'under(roots[0])[0]'
    tree_key right
    select_row 'items[items.index(under(roots[0])[0]) + 1]'
    main mouse move 300 5 >/dev/null
    main screenshot "$(windows_path "$out/backup-page-$code.png")" >/dev/null
    if [ ! -f "$program/backup.xml" ]; then
      action_button
      wait_until 60 box_up
      box_answer 1
    fi
    nav Restore
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
    set_setting_text language "${pair#*:}"
    launch
    open_settings
    dialog Settings screenshot "$(windows_path "$out/settings-dialog-${pair%%:*}.png")" >/dev/null
    click_item Settings 2
    stop_program
  done
  set_setting_text language English
  echo "gallery: screenshots in $out"
}

for section in "${sections[@]}"; do "section_$section"; done
mkdir -p "$root/out/backup-settings"
cp "$work"/*.png "$root/out/backup-settings/" 2>/dev/null
report_checks backup_settings_test
