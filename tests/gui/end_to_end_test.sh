#!/usr/bin/env bash
# The whole program through a restart, with real input, against
# quillary-service with slow package downloads: a scan, two downloads of
# which one is paused, quitting while the other runs (Yes to the question),
# a new start and scan on which both downloads resume and end byte for
# byte, an installation recorded in setup.dat (and the warning that no
# restore point was made: Wine has no System Restore), a rescan that shows
# the device up to date, a backup of the vendor drivers, the restore of the
# device's archive (the forced installer's command line, the same warning),
# and backup.xml with every archive intact and listed.
#
# usage: end_to_end_test.sh WINDOWS_BIN STANDIN_DIR NATIVE_BIN ART_DIR
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" end_to_end_test "$1"
standins=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
art=$(cd "$4" && pwd)
gui="$root/tests/gui"
test_name=end_to_end_test
source "$gui/program_test.sh"

mkdir -p "$work/mixed"
cp "$work/sample/"*.zip "$work/mixed/"
"$gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/mixed" 3 --shared --decoration NTamd64.6.1 || exit 1
cp "$standins/DPInst64.exe" "$standins/DPInst32.exe" "$program/" || exit 1
windows_folder=$("$wine_run" winepath -u 'C:\windows' 2>/dev/null)
python3 "$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" || exit 1
downloads="$program/download"
source "$gui/download_panels.sh"

fresh_settings
set_setting close_to_tray 0
serve "$work/mixed" rate:100
start test
scan
action update1.zip
action update2.zip
check "two downloads start" wait_until 10 is_state update1.zip partial
wait_until 10 is_state update2.zip partial
action update1.zip
check "... and the first pauses" wait_until 10 stands_still update1.zip
caption Close
check "quitting while one runs asks first" wait_until 10 box_up
box_answer 1
check "... and Yes ends the program" wait_until 30 ended
check "both partial files are kept" is_state update1.zip partial
check "... the other one too" is_state update2.zip partial

serve "$work/mixed"
start test
scan
action update1.zip
action update2.zip
check "after a new start and scan both resume and end" wait_until 30 is_state update1.zip complete
wait_until 30 is_state update2.zip complete
check "... the paused one byte for byte" same_as_served update1.zip
check "... and the other" same_as_served update2.zip

action update1.zip
check "installing starts the driver package installer" wait_until 30 test -s "$program/dpinst-calls.txt"
check "... and setup.dat records the link" grep -qF "$(link_of update1.zip)" "$program/setup.dat"
check "... and the page says no restore point was made" no_restore_point_said
box_answer 1
scan
check "a rescan shows its devices up to date (the panel tinted)" wait_until 10 panel_colour_is update1.zip '#F4F6FB'

nav Backup
check "the backup page opens" wait_until 10 page_visible BackupWindow
tick 'roots[0]'
action_button
check "backing up the vendor drivers ends" wait_until 120 box_up
check "... completed" test "$(box_text)" = "Backup completed successfully."
box_answer 1

nav Restore
check "the restore page opens" wait_until 10 page_visible RestoreWindow
local_archive=$(tree_query 'next(r["text"] for r in roots if r["text"].startswith("Auralis"))')
check "the device's driver has its archive ($local_archive)" test -n "$local_archive"
tree_click $(tree_query "' '.join(map(str, next(r for r in roots if r['text'] == '$local_archive')['check']))")
: > "$program/dpinst-calls.txt"
action_button
check "restoring it starts the installer forced on its unpacked folder" wait_until 30 \
  grep -qF "/F /PATH \"$(windows_path "$program/backup")\\${local_archive%.zip}\"" "$program/dpinst-calls.txt"
check "... and the restore page says no restore point was made" no_restore_point_said
box_answer 1
stop_program

check "backup.xml lists every archive of the folder, and every one it lists is whole" \
  python3 - "$program/backup.xml" "$program/backup" <<'PY'
import os, sys, zipfile
import xml.etree.ElementTree as ET
catalogue, folder = sys.argv[1], sys.argv[2]
root = ET.parse(catalogue).getroot()
listed = {os.path.basename(d.findtext("file").strip().replace("\\", "/")) for d in root.iter("driver")}
present = {f for f in os.listdir(folder) if f.lower().endswith(".zip")}
assert present and listed == present, (sorted(listed), sorted(present))
for name in present:
    assert zipfile.ZipFile(os.path.join(folder, name)).testzip() is None, name
PY
report_checks end_to_end_test
