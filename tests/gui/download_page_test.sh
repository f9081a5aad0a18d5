#!/usr/bin/env bash
# The download page and the device details dialog under Wine, with real
# input, against quillary-service: the panels of a scan (one panel for two
# devices sharing a package, the tint of packages not needed, the header),
# the context menu (remove greyed where there is nothing to remove, the
# remove question, the file's location through the shell), the details of a
# package's devices, a download paused and resumed with the action button,
# the best/latest switch while a download runs, download all, quitting
# during a download, an installation with the stand-in installer and the
# rescan after it, an update hidden and shown again across a restart, 300
# panels scrolled to the end, and GDI and USER objects across 20 rebuilds.
#
# usage: download_page_test.sh WINDOWS_BIN NATIVE_BIN ART_DIR [SECTION...]
# Sections: panels downloads install undo uac signatures hide objects large (all by default; large
# leaves 300 more devices in the prefix's device tree, so it comes last).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" download_page_test "$1"
native=$(cd "$2" && pwd)
art=$(cd "$3" && pwd)
shift 3
sections=("$@")
[ ${#sections[@]} -gt 0 ] || sections=(panels downloads install undo uac signatures hide objects large)
gui="$root/tests/gui"
test_name=download_page_test
source "$gui/program_test.sh"

# The sample catalogue with better packages for three devices of the demo
# PC, the first two sharing one: update1.zip (two devices) and update2.zip
# are needed, and so is the sample's package for the device without a
# driver; the webcam's is not.
mkdir -p "$work/mixed"
cp "$work/sample/"*.zip "$work/mixed/"
"$gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/mixed" 3 --shared --decoration NTamd64.6.1 || exit 1
no_driver_package=calder_cardreader_3.1.2.15.zip
unneeded_package=lumora_webcam_suite_3.4.1.0.zip
cp "$bin/../standin/DPInst64.exe" "$bin/../standin/DPInst32.exe" "$program/" || exit 1
export QUILLARY_TEST_SHELL_LOG QUILLARY_TEST_INSTALL_HOLD
QUILLARY_TEST_SHELL_LOG=$(windows_path "$work/shell.log")
# While this file exists, an installer the program starts waits to be let go.
hold="$work/install-hold"
QUILLARY_TEST_INSTALL_HOLD=$(windows_path "$hold")
downloads="$program/download"
source "$gui/download_panels.sh"
source "$gui/tree_page_test.sh"

menu_escape() { probe key "" escape --class '#32768' >/dev/null; wait_until 5 no_menu; }
remove_is_grey() { probe menu get Remove | grep -q '"grey": true'; }
remove_is_black() { probe menu get Remove | grep -q '"grey": false'; }
device_id_of() {  # device_id_of DESCRIPTION: the demo PC's device ID of that device
  python3 - "$work/demo-pc.json" "$1" <<'PY'
import json, sys
devices = json.load(open(sys.argv[1], encoding="utf-8"))["devices"]
print(next(d["instance_id"].rsplit("\\", 1)[0] for d in devices if d["properties"].get("DeviceDesc") == sys.argv[2]))
PY
}
on_page() { page_visible DownloadWindow; }
details_up() { probe wait "Driver information" --class '#32770' --visible --timeout 100 >/dev/null; }
details_gone() { ! details_up; }
probe_foreground() { probe state "Driver information" --class '#32770' | grep -q '"foreground": true'; }
header() { main text --child-class DownloadWindow; }
# Waited for (a test's words are read anew at each try):
panel_names() { [ "$(panel "$1" text)" = "$(link_of "$1")" ]; }  # the panel of that package is there
links_recorded() { [ "$(grep -cF "$(link_of "$1")" "$program/setup.dat" 2>/dev/null)" = "$2" ]; }

fresh_program() {  # a fresh start of the test build on the mixed catalogue, scanned
  stop_program
  rm -rf "$downloads" "$program/setup.dat" "$program/dpinst-calls.txt" "$work/shell.log"
  fresh_settings
  set_setting close_to_tray 0
  start test
  scan
}

# --- panels, menu and details ----------------------------------------------------------
section_panels() {
  serve "$work/mixed"
  fresh_program
  check "the scan ends on the download page" on_page
  check "three devices out of date: the header without a count" \
    test "$(header)" = "Driver updates are available for your devices."
  check "the two devices sharing update1.zip have one panel" \
    test "$(main children DownloadPanel | grep -c "update1.zip")" = 1
  local left top right bottom
  read -r left top right bottom < <(panel_rect update1.zip)
  check "... with two device rows (148 pixels)" test $((bottom - top)) = 148

  check "needed packages come first" \
    test "$(main children DownloadPanel | tail -n 1 | json "$(cat)" 'd["text"]')" = "$(link_of $unneeded_package)"
  reveal $unneeded_package
  check "a package not needed is tinted" wait_until 10 panel_colour_is $unneeded_package '#F4F6FB'
  reveal update2.zip
  check "a needed one is white" wait_until 10 panel_colour_is update2.zip '#FFFFFF'

  context_menu update2.zip
  check "the menu of a package not downloaded greys Remove" remove_is_grey
  menu_choose "Open file location"
  check "Open file location before the download opens the download folder" \
    wait_until 5 grep -q "\\download|$" "$work/shell.log"

  context_menu update1.zip
  menu_choose Details
  check "Details opens the device details dialog" wait_until 10 details_up
  check "... in front of the main window" probe_foreground
  local rows devices
  devices=$(probe items "Driver information" --class '#32770' --child-class ListBox)
  check "... listing the package's two devices" test "$(echo "$devices" | wc -l)" = 2
  probe mouse "Driver information" click 100 19 --class '#32770' --child-class ListBox >/dev/null
  detail_rows() { probe items "Driver information" --class '#32770' --child-class SysListView32; }
  shows_device() {  # the details list the second device's rows: its device ID first
    [ "$(detail_rows | head -n 1 | json "$(cat)" 'd[1]')" = "$1" ]
  }
  local second_id
  second_id=$(device_id_of "$(echo "$devices" | tail -n 1 | json "$(cat)" 'd[0]')")
  wait_until 5 shows_device "$second_id"
  rows=$(detail_rows)
  check "selecting the second device shows its 13 rows" test "$(echo "$rows" | wc -l)" = 13
  check "... the first row is its device ID ($second_id)" \
    test -n "$second_id" -a "$(echo "$rows" | head -n 1 | json "$(cat)" 'd[1]')" = "$second_id"
  check "... the new driver's INF file without its folder" \
    test "$(echo "$rows" | sed -n 7p | json "$(cat)" 'd[2]')" = update1.inf
  check "... the rank as eight hexadecimal digits" \
    grep -Eq '^\["[^"]+", "[0-9A-F]{8}", "\(blank\)"\]$' <<<"$(echo "$rows" | sed -n 13p)"
  check "... (blank) where the offer says nothing" \
    test "$(echo "$rows" | awk 'NR==1||NR==4||NR==5||NR>=10' | grep -c '"(blank)"\]$')" = 7
  probe key "Driver information" escape --class '#32770' >/dev/null
  check "Escape closes it" wait_until 5 details_gone
}

# --- downloads: pause and resume, best/latest, download all, remove, quit ---------------
section_downloads() {
  # Slow package downloads, so that a download can be caught under way.
  serve "$work/mixed" rate:100
  fresh_program
  action update1.zip
  check "Download starts the package's download" wait_until 10 is_state update1.zip partial
  action update1.zip
  check "the same button pauses it" wait_until 10 stands_still update1.zip
  check "... its partial file kept" is_state update1.zip partial
  context_menu update1.zip
  check "a paused download may be removed" remove_is_black
  menu_escape
  serve "$work/mixed"  # full speed while nothing needs to be caught under way
  action update1.zip
  check "Resume finishes it" wait_until 30 is_state update1.zip complete
  check "... byte for byte the served package" same_as_served update1.zip

  # Slow enough to rebuild the list under a running download; a pause need
  # not be caught here.
  serve "$work/mixed" rate:200
  action update2.zip
  wait_until 10 is_state update2.zip partial
  main press Latest --child-class DownloadWindow >/dev/null
  check "switching to the latest offers rebuilds the list with the running package" \
    wait_until 10 panel_names update2.zip
  check "... whose download goes on to the end" wait_until 30 is_state update2.zip complete
  check "... byte for byte" same_as_served update2.zip
  main press 'Best match' --child-class DownloadWindow >/dev/null
  serve "$work/mixed"

  # Download all: the bar's box ticks the needed panels only.
  bar_click "Select all updates"
  bar_click "Download all"
  check "Download all asks first" wait_until 10 box_up
  check "... download_all_warning" test "$(box_text)" = "Download all selected drivers now?"
  box_answer 2
  sleep 1
  check "No starts nothing" is_state $no_driver_package none
  bar_click "Download all"
  wait_until 10 box_up
  box_answer 1
  check "Yes downloads every ticked needed package not yet downloaded" \
    wait_until 30 is_state $no_driver_package complete
  check "... byte for byte" same_as_served $no_driver_package
  check "... and none the PC does not need" is_state $unneeded_package none
  check "... and installs the ticked packages already downloaded, as one batch" wait_until 20 installer_starts 2
  check "... telling of its one restore point" no_restore_point_said
  box_answer 1
  check "... once" no_box

  context_menu update1.zip
  menu_choose "Open file location"
  check "Open file location selects the complete file in Explorer" wait_until 5 \
    grep -qF "explorer.exe|/select,\"$(windows_path "$(file_of update1.zip)")\"" "$work/shell.log"
  context_menu update2.zip
  menu_choose Remove
  check "Remove asks remove_confirm" wait_until 10 box_up
  check "... in its words" test "$(box_text)" = "Remove this download and delete its file?"
  box_answer 2
  sleep 0.5
  check "... No keeps the file" is_state update2.zip complete
  context_menu update2.zip
  menu_choose Remove
  wait_until 10 box_up
  box_answer 1
  check "... Yes deletes it" wait_until 5 is_state update2.zip none

  serve "$work/mixed" rate:200
  action update2.zip
  wait_until 10 is_state update2.zip partial
  caption Close
  check "closing during a download asks quit_confirm" wait_until 10 box_up
  box_answer 2
  check "... and No keeps the program and the download" wait_until 30 is_state update2.zip complete
  check "... byte for byte" same_as_served update2.zip
}

# --- installation and the rescan after it ----------------------------------------------
section_install() {
  serve "$work/mixed"
  fresh_program
  action update1.zip
  wait_until 20 is_state update1.zip complete
  action update1.zip
  check "Install starts the driver package installer on the package's INF folder" \
    wait_until 20 grep -q "update1" "$program/dpinst-calls.txt"
  check "... with DPInst's parameters" grep -qF "/SH /PATH \"$(windows_path "$downloads")\\" "$program/dpinst-calls.txt"
  check "setup.dat records the link" grep -qF "$(link_of update1.zip)" "$program/setup.dat"
  check "... and the page says no restore point was made (Wine has no System Restore)" no_restore_point_said
  box_answer 1

  # An installation under way while its panel is rebuilt: the new panel
  # finds it running and does not start a second one.
  action update2.zip
  wait_until 20 is_state update2.zip complete
  touch "$hold"
  action update2.zip
  local folder2
  folder2=$(windows_path "$(file_of update2.zip)")
  folder2=${folder2%.zip}
  check "an installation that is held at its installer's start" \
    wait_until 20 grep -qF "DPInst64.exe|/SH /PATH \"$folder2" "$work/shell.log"
  main press Latest --child-class DownloadWindow >/dev/null
  wait_until 10 panel_names update2.zip
  main press 'Best match' --child-class DownloadWindow >/dev/null
  wait_until 10 panel_names update2.zip
  action update2.zip
  sleep 1
  check "... is not started again from the rebuilt panel" \
    test "$(grep -cF "DPInst64.exe|/SH /PATH \"$folder2" "$work/shell.log")" = 1
  check "... nor recorded before its installer has started" bash -c "! grep -qF '$(link_of update2.zip)' '$program/setup.dat'"
  rm -f "$hold"
  check "let go, it starts its installer once" wait_until 20 grep -qF "$folder2" "$program/dpinst-calls.txt"
  check "... and records its link once" wait_until 10 links_recorded update2.zip 1
  check "... and the rebuilt panel tells of the restore point" no_restore_point_said
  box_answer 1
  check "... once" no_box
  check "... and only once" test "$(grep -cF "$folder2" "$program/dpinst-calls.txt")" = 1

  action $unneeded_package
  wait_until 20 is_state $unneeded_package complete
  action $unneeded_package
  check "installing a package not needed asks download_setup_warning" wait_until 10 box_up
  check "... in its words" test "$(box_text)" = "Your current driver is already up to date. Install this one anyway?"
  box_answer 2
  sleep 1
  check "... and No installs nothing" test "$(grep -c "" "$program/dpinst-calls.txt")" = 2
  check "... and says nothing of a restore point" no_box

  scan
  reveal update1.zip
  check "after the rescan the installed package is no longer needed" wait_until 10 panel_colour_is update1.zip '#F4F6FB'
}

# --- a verified backup before an installation, and its undoing ---------------------------
backups_of() {  # backups_of PACKAGE: the archives backup.xml lists as made before it, one a line
  # The catalogue's texts are in the ANSI code page whatever its declaration
  # says: read as such.
  python3 - "$program/backup.xml" "$(link_of "$1")" <<'PY'
import re, sys
try:
    text = open(sys.argv[1], "rb").read().decode("cp1252", "replace")
except OSError:
    sys.exit(0)
def texts(name, block):
    return [m.group(1) or m.group(2) for m in
            re.finditer(r"<%s>\s*(?:<!\[CDATA\[(.*?)\]\]>|([^<]*?))\s*</%s>" % (name, name), block, re.S)]
for block in re.findall(r"<driver>(.*?)</driver>", text, re.S):
    if sys.argv[2] in texts("made_way_for", block):
        print(texts("file", block)[0])
PY
}
backed_up_before() { [ -n "$(backups_of "$1")" ]; }
archives_whole() {  # every archive made before PACKAGE reads back whole, and it has at least one
  local archive any=
  for archive in $(backups_of "$1"); do
    python3 -c "import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)" \
      "$program/backup/$archive" || return 1
    any=1
  done
  [ -n "$any" ]
}
installer_calls() { grep -c "" "$program/dpinst-calls.txt" 2>/dev/null || echo 0; }
# Counted again on each try of a wait, not once when the wait is written.
installer_calls_are() { test "$(installer_calls)" = "$1"; }
rollback_is() { probe menu get "Undo this installation" | grep -q "\"grey\": $1"; }
section_undo() {
  serve "$work/mixed"
  fresh_program
  rm -rf "$program/backup" "$program/backup.xml"
  action update1.zip
  wait_until 20 is_state update1.zip complete
  context_menu update1.zip
  check "a package not installed cannot be undone" rollback_is true
  menu_escape
  action update1.zip
  check "an installation backs up the drivers it replaces first: backup.xml lists them with its link" \
    wait_until 20 backed_up_before update1.zip
  check "... the two devices' drivers: one archive each" test "$(backups_of update1.zip | wc -l)" = 2
  check "... each of which tests whole" archives_whole update1.zip
  check "... before the installer starts" wait_until 20 grep -q "update1" "$program/dpinst-calls.txt"
  no_restore_point_said && box_answer 1
  nav Restore
  check "the backups are on the restore page" wait_until 10 page_visible RestoreWindow
  check "... two archives of its own" test "$(tree_query 'len(roots)')" -ge 2
  nav Download
  wait_until 10 on_page

  context_menu update1.zip
  check "an installed package can be undone" rollback_is false
  menu_choose "Undo this installation"
  check "undoing asks first" wait_until 10 box_up
  check "... in its words" test "$(box_text)" = "$(language_text download_rollback_question)"
  local calls
  calls=$(installer_calls)
  box_answer 1
  check "... the backups go back in, forced" wait_until 20 installer_calls_are $((calls + 2))
  check "... from the backup folder" test "$(tail -n 2 "$program/dpinst-calls.txt" | grep -c '/F /PATH .*backup')" = 2
  check "... and it says so" wait_until 20 box_up
  check "... in its words" test "$(box_text)" = "$(language_text download_rollback_done)"
  box_answer 1
  check "the link leaves setup.dat" bash -c "! grep -qF '$(link_of update1.zip)' '$program/setup.dat'"
  context_menu update1.zip
  check "... and it can no longer be undone" rollback_is true
  menu_escape
  scan
  reveal update1.zip
  check "the next scan offers the package again" wait_until 10 panel_colour_is update1.zip '#FFFFFF'

  # A backup that cannot be made: the folder lies below a file.
  stop_program
  touch "$work/in-the-way"
  set_setting_text backup_path "$(windows_path "$work/in-the-way")\\backups"
  start test
  scan
  action update2.zip
  wait_until 20 is_state update2.zip complete
  calls=$(installer_calls)
  action update2.zip
  check "a backup that fails asks whether to install anyway" wait_until 20 box_up
  check "... in its words" test "$(box_text)" = "$(language_text download_backup_failed)"
  probe key "" enter --class '#32770' >/dev/null
  check "... Enter answers No" wait_until 10 no_box
  sleep 1
  check "... and No installs nothing" test "$(installer_calls)" = "$calls"
  check "... nor records the link" bash -c "! grep -qF '$(link_of update2.zip)' '$program/setup.dat' 2>/dev/null"
  check "... and says nothing more" no_box
  stop_program
  set_setting_text backup_path ""
}

# --- through UAC: the start of a filtered administrator ---------------------------------
prompts() { grep -c '^prompt|' "$work/prompts.log" 2>/dev/null; }
prompted() { [ "$(prompts)" = "$1" ]; }  # prompted N: N prompts so far
installer_starts() { [ "$(grep -c "" "$program/dpinst-calls.txt" 2>/dev/null)" = "$1" ]; }
batch_paths() {  # the paths of the last batch handed to the companion, sorted
  python3 - "$work/prompts.log" <<'PY'
import json, sys
log = open(sys.argv[1], encoding="utf-8").read()
batch = log[log.rindex("prompt|"):]
print("\n".join(sorted(e["path"] for e in json.loads(batch[batch.index("\n") + 1:])["entries"])))
PY
}
download_all_ticked() {  # the bar's box, then its button, then Yes
  bar_click "Select all updates"
  bar_click "Download all"
  wait_until 10 box_up
  box_answer 1
}
section_uac() {
  serve "$work/mixed"
  cp "$bin/quillary-cli.exe" "$program/"
  export QUILLARY_TEST_RIGHTS=can_elevate QUILLARY_TEST_ELEVATION=decline QUILLARY_TEST_ELEVATION_LOG
  QUILLARY_TEST_ELEVATION_LOG=$(windows_path "$work/prompts.log")
  rm -f "$work/prompts.log"
  fresh_program
  action update1.zip
  action update2.zip
  wait_until 20 is_state update1.zip complete
  wait_until 20 is_state update2.zip complete
  download_all_ticked
  check "Download all by a filtered administrator asks for elevation once for both packages" wait_until 20 prompted 1
  check "... and a declined prompt says so" wait_until 10 box_up
  check "... in its words" test "$(box_text)" = "Nothing was installed: permission to change the system was not given."
  box_answer 1
  check "... once for the batch" no_box
  # Downloads are files; an extraction would have made a folder.
  check "... having extracted nothing" test -z "$(find "$downloads" -mindepth 1 -type d)"
  check "... recorded nothing in setup.dat" test ! -e "$program/setup.dat"
  check "... and started nothing" test ! -e "$program/dpinst-calls.txt"

  # The first download all also started the other ticked packages' downloads.
  wait_until 30 is_state $no_driver_package complete
  QUILLARY_TEST_ELEVATION=accept
  stop_program
  start test
  scan
  download_all_ticked
  check "Accepted, download all installs the downloaded packages after one prompt" wait_until 20 prompted 2
  check "... handing the companion exactly those three packages" test "$(batch_paths)" = "$(
    for package in update1.zip update2.zip $no_driver_package; do windows_path "$(file_of $package)"; done | sort)"
  check "... whose installers the companion starts" wait_until 20 installer_starts 3
  check "... recording their links" wait_until 10 \
    bash -c "grep -qF '$(link_of update1.zip)' '$program/setup.dat' && grep -qF '$(link_of $no_driver_package)' '$program/setup.dat'"
  check "... telling of the batch's one restore point" no_restore_point_said
  box_answer 1
  check "... once" no_box
  check "... with no more prompts" test "$(prompts)" = 2
  stop_program
  unset QUILLARY_TEST_RIGHTS QUILLARY_TEST_ELEVATION QUILLARY_TEST_ELEVATION_LOG
}

# --- 300 panels -------------------------------------------------------------------------
# The list scrolls as it handles the input, which may still be queued when
# the input tool returns: the places are read again on each try.
last_panel_shows() {  # last_panel_shows LIST_TOP LIST_BOTTOM: the last panel lies whole within the list
  local left top right bottom
  read -r left top right bottom < <(json "$(main children DownloadPanel | tail -n 1)" '" ".join(map(str, d["window"]))')
  [ "$bottom" -le "$2" ] && [ "$top" -ge "$1" ]
}
first_panel_at() { [ "$(json "$(main children DownloadPanel | head -n 1)" 'd["window"][1]')" = "$1" ]; }
section_large() {
  stop_program
  "$gui/make_many_devices.py" 300 > "$work/large-pc.json" || return
  "$wine_run" "$bin/inject_devices.exe" "$(windows_path "$work/large-pc.json")" >/dev/null || return
  "$gui/make_update_catalogue.py" "$work/large-pc.json" "$work/large" 300 || return
  serve "$work/large"
  fresh_settings
  # This catalogue's links are those of the earlier sections' packages
  # (updateN.zip on the same address): what they installed would count here.
  rm -f "$program/setup.dat"
  start test
  scan
  local panels
  panels=$(main children DownloadPanel)
  check "300 out-of-date devices give 300 panels" test "$(echo "$panels" | grep -c update)" = 300
  check "... and the header shows the count ($(header))" test "$(header)" = "Out-of-date drivers found: 300"
  for _ in $(seq 30); do main mouse wheel 100 30 --child-class PanelList --delta -100 >/dev/null; done
  local list_left list_top list_right list_bottom
  read -r list_left list_top list_right list_bottom < <(list_rect)
  check "the wheel reaches the last panel" wait_until 10 last_panel_shows "$list_top" "$list_bottom"
  # Panels out of sight may keep an old place until they come into view:
  # the ones that show must not overlap.
  check "no panel draws over another" python3 - "$list_top" "$list_bottom" <<PY
import json, sys
top, bottom = int(sys.argv[1]), int(sys.argv[2])
rects = sorted(r for r in (json.loads(l)["window"] for l in """$(main children DownloadPanel)""".splitlines())
               if r[3] > top and r[1] < bottom)
assert rects and all(b[1] >= a[3] for a, b in zip(rects, rects[1:])), "overlap"
PY
  for _ in $(seq 30); do main mouse wheel 100 30 --child-class PanelList --delta 100 >/dev/null; done
  check "... and back to the first" wait_until 10 first_panel_at "$list_top"
  # The scroll bar's thumb (just below the arrow) dragged to the bottom, in
  # steps slow enough for the bar to follow.
  local bar_x=$((list_right + 9))
  xdotool mousemove $bar_x $((list_top + 21)) sleep 0.3 mousedown 1 sleep 0.3 \
    mousemove $bar_x $((list_top + 40)) sleep 0.2 mousemove $bar_x $((list_top + 240)) sleep 0.2 \
    mousemove $bar_x $((list_bottom + 20)) sleep 0.5 mouseup 1
  check "the scroll bar reaches the last panel" wait_until 10 last_panel_shows "$list_top" "$list_bottom"
  shot large
  stop_program
}

# --- objects across rebuilds ------------------------------------------------------------
# --- updates hidden by the user ---------------------------------------------------------
has_panel() { main children DownloadPanel | grep -qF "$(link_of "$1")"; }
no_panel() { ! has_panel "$1"; }
score_line() {  # the chart's accessible name: "Driver score N; Out of date: N, ..."
  access list Quillary --class MainWindow | awk -F'\t' '$3 == "chart" {print $5; exit}'
}
out_of_date() { score_line | sed -n 's/.*Out of date: \([0-9]*\),.*/\1/p'; }
shown_hidden_link() {  # the name of the hidden updates' link while it shows
  local class child role state name rest
  while IFS=$'\t' read -r class child role state name rest; do
    [[ $role == link && $name == "Show hidden updates"* ]] && (( (0x$state & 0x8000) == 0 )) && echo "$name"
  done < <(access list Quillary --class MainWindow)
}
hidden_link() { [ "$(shown_hidden_link)" = "Show hidden updates ($1)" ]; }
no_hidden_link() { [ -z "$(shown_hidden_link)" ]; }
hidden_setting() { setting hidden_updates; }
section_hide() {
  serve "$work/mixed"
  fresh_program
  local before queries_before
  before=$(out_of_date)
  check "before anything is hidden the header shows no hidden updates' link" no_hidden_link
  context_menu update2.zip
  queries_before=$(queries)
  menu_choose "Do not offer this again"
  check "Do not offer this again takes the package off the list" wait_until 10 no_panel update2.zip
  check "... without asking the service again" test "$(queries)" = "$queries_before"
  check "... and the other packages stay" has_panel update1.zip
  check "... the header's link tells of one hidden update" wait_until 10 hidden_link 1
  check "... the score counts one device out of date fewer ($before before)" test "$(out_of_date)" = $((before - 1))
  check "... and the user's settings keep it for its device" \
    bash -c '[ "$(grep -c "" <<<"$1")" = 1 ] && grep -qF "$2"$'"'"'\t'"'"' <<<"$1"' _ "$(hidden_setting)" "$(link_of update2.zip)"

  stop_program
  start test
  scan
  check "after a restart and a rescan it stays hidden" no_panel update2.zip
  check "... with the link" hidden_link 1
  press "Show hidden updates (1)"
  check "pressing the link brings it back" wait_until 10 has_panel update2.zip
  check "... the link goes" wait_until 10 no_hidden_link
  check "... the score counts it again" test "$(out_of_date)" = "$before"
  check "... and nothing is kept hidden" bash -c '[ -z "$(cat)" ]' < <(hidden_setting)
}

section_objects() {
  serve "$work/mixed"
  stop_program
  fresh_settings
  local objects="$work/objects.txt"
  rm -f "$objects"
  QUILLARY_TEST_OBJECT_LOG=$(windows_path "$objects") start test
  scan
  main press Latest --child-class DownloadWindow >/dev/null
  main press 'Best match' --child-class DownloadWindow >/dev/null
  main post QuillaryTestCountObjects >/dev/null
  wait_until 60 test -s "$objects"
  for _ in $(seq 10); do
    main press Latest --child-class DownloadWindow >/dev/null
    main press 'Best match' --child-class DownloadWindow >/dev/null
  done
  main post QuillaryTestCountObjects >/dev/null
  wait_until 60 bash -c "[ \$(wc -l < '$objects') = 2 ]"
  local gdi_first user_first gdi_last user_last
  read -r gdi_first user_first < <(head -n 1 "$objects" | tr -d '\r')
  read -r gdi_last user_last < <(tail -n 1 "$objects" | tr -d '\r')
  check "after 20 rebuilds the GDI objects are within 5 ($gdi_first, now $gdi_last)" \
    test $((gdi_last - gdi_first)) -le 5 -a "${gdi_first:-0}" -gt 0
  check "... and the USER objects ($user_first, now $user_last)" \
    test $((user_last - user_first)) -le 5 -a "${user_first:-0}" -gt 0
  stop_program
}

# --- offers the publisher's signature does not vouch for ---------------------------------
# The real service on a port of its own, and a man in the middle on the
# program's first server address that rewrites each reply.
proxy=
stop_proxy() { [ -n "$proxy" ] && kill "$proxy" 2>/dev/null && wait "$proxy" 2>/dev/null; proxy=; }
middle() {  # middle MODE: the proxy in that mode before the service on $upstream
  stop_proxy
  python3 "$root/tests/tools/rewriting_proxy.py" --upstream "$upstream" --package "$work/mixed/update2.zip" \
    --mode "$1" --listen 18081 > "$work/proxy.out" 2>&1 &
  proxy=$!
  wait_until 20 grep -q listening "$work/proxy.out"
}
state_in_red() {  # state_in_red PACKAGE: the panel's state line is drawn in the colour of errors
  panel "$1" screenshot "$(windows_path "$work/panel.png")" --client >/dev/null || return 2
  /usr/bin/python3 - "$work/panel.png" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert('RGB')
red = sum(1 for r, g, b in im.getdata() if r > 150 and g < 80 and b < 80)
sys.exit(0 if red > 10 else 1)
PY
}
not_in_red() { state_in_red "$1"; [ $? = 1 ]; }
not_recorded() { ! grep -qsF "$(link_of "$1")" "$program/setup.dat"; }
section_signatures() {
  stop_service
  sign_catalogue "$work/mixed" || exit 1
  "$native/quillary-service" --catalogue "$work/mixed" --listen 127.0.0.1:0 > "$work/upstream.out" 2> "$work/upstream.log" &
  service=$!
  wait_until 20 grep -q listening "$work/upstream.out"
  upstream=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/upstream.out" | head -n 1)
  package_base=$upstream

  middle unsigned
  fresh_program
  check "offers stripped of their signature: the page still lists the packages" panel_names update2.zip
  check "... each panel's state says it is refused, in red" wait_until 10 state_in_red update2.zip
  action update2.zip
  check "... its button fetches nothing" sh -c "! grep -q 'GET /packages/update2.zip' '$work/upstream.log'"
  check "... and leaves no file" is_state update2.zip none
  shot refused-unsigned

  # A reply that claims another driver version than the signed package's.
  middle version
  fresh_program
  check "a signed package whose offer claims another version: not refused" not_in_red update2.zip
  action update2.zip
  check "... it downloads" wait_until 30 is_state update2.zip complete
  rm -f "$program/dpinst-calls.txt"
  action update2.zip
  check "... but Install says the package is not the one offered" wait_until 30 box_up
  check "... in these words" test "$(box_text)" = \
    "Nothing was installed: the package holds another driver version than the one offered."
  shot offer-mismatch
  box_answer 1
  check "... and nothing was started" test ! -e "$program/dpinst-calls.txt"
  check "... nor recorded" not_recorded update2.zip
  stop_program
  stop_proxy
  package_base=http://127.0.0.1:18081/
}

for section in "${sections[@]}"; do
  echo "--- $section"
  "section_$section"
done
stop_program
report_checks download_page_test
