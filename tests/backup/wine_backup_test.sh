#!/usr/bin/env bash
# Backup and restore under Wine, end to end, through the real code path: the
# demo PC's devices are in the prefix's device tree, a driver store is built
# in the prefix (package folders under System32\DriverStore\FileRepository,
# and the byte copies of their INF files in the INF folder, as Windows keeps
# them). Wine does not implement SetupGetInfDriverStoreLocationW, so the
# store is searched by digest. quillary-cli.exe backs up every package,
# reads the catalogue back, and restores one archive through the stand-in
# driver package installer.
#
# Some drivers are renamed first: two packages share one description (in
# different letter case), and two have descriptions in letters a Western
# ANSI code page lacks (Cyrillic, Greek), as a driver of a Russian or Greek
# vendor would on a Western system. Every package must keep an archive of
# its own that the catalogue finds again.
#
# usage: wine_backup_test.sh WINDOWS_BIN STANDIN_DIR
set -uo pipefail
# Wine takes the ANSI code page from the locale: 1252 here.
export LANG=en_US.UTF-8
windows=$(cd "$1" && pwd)
standins=$(cd "$2" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../tools/checks.sh"

"$root/scripts/make-sample-catalogue" "$work/catalogue" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/catalogue/catalogue.json" > "$work/demo-pc.json" || exit 1
python3 - "$work/demo-pc.json" <<'PY'
import json, sys
path = sys.argv[1]
fixture = json.load(open(path))
renamed = {"oem10.inf": "Veltrix \u0412\u0438\u0434\u0435\u043e 2140",
           "oem11.inf": "\u0389\u03c7\u03bf\u03c2", "oem12.inf": "Shared Name", "oem14.inf": "SHARED NAME"}
for device in fixture["devices"]:
    driver = device.get("driver", {})
    if driver.get("InfPath") in renamed:
        driver["DriverDesc"] = renamed[driver["InfPath"]]
json.dump(fixture, open(path, "w"), ensure_ascii=False)
PY
"$wine_run" "$windows/inject_devices.exe" "$("$wine_run" winepath -w "$work/demo-pc.json" 2>/dev/null)" >/dev/null || exit 1

# The driver store of the devices' drivers: one package folder per INF name.
windows_folder=$("$wine_run" winepath -u 'C:\windows' 2>/dev/null)
"$root/tests/tools/make_driver_store.py" "$work/demo-pc.json" "$windows_folder" || exit 1

mkdir -p "$work/program"
cp "$windows/quillary-cli.exe" "$windows/quillary-cli-test.exe" "$standins/DPInst64.exe" "$standins/DPInst32.exe" \
  "$work/program/"
"$wine_run" reg delete 'HKCU\Software\Korvane' /f >/dev/null 2>&1  # first run: backups beside the program
cli() { (cd "$work/program" && "$wine_run" quillary-cli.exe "$@"); }

cli backup --all > "$work/backup.json"
check "backup --all succeeds" test "$?" = 0
cli catalogue > "$work/catalogue-read.json"
check "the catalogue reads back" test "$?" = 0

python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
backup = json.load(open(os.path.join(work, "backup.json")))
read_back = json.load(open(os.path.join(work, "catalogue-read.json")))
fixture = json.load(open(os.path.join(work, "demo-pc.json")))
failures = []
def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
packages = backup["packages"]
check(f"{len(packages)} driver-store packages found, inbox and vendor ones", len(packages) > 5
      and any(p["inbox"] for p in packages) and any(not p["inbox"] for p in packages))
shared = [p for p in packages if len(p["devices"]) > 1]
check("devices sharing a driver share one package", bool(shared))
archive_of = {p["folder"].split(".inf")[0]: os.path.basename(p["archive"].replace("\\", "/")) for p in packages}
archives = set(archive_of.values())
backups = os.path.join(work, "program", "backup")
check("every package has an archive of its own", len(archives) == len(packages))
check("packages of one description (in any letter case) keep two archives",
      archive_of["oem12"].lower() != archive_of["oem14"].lower() and "shared-name" in archive_of["oem14"].lower())
check("letters the code page lacks become dashes: " + archive_of["oem10"],
      archive_of["oem10"] == "Veltrix-------2140.zip")
check("a name without a readable letter left is the INF name: " + archive_of["oem11"], archive_of["oem11"] == "oem11.zip")
check("every package has its archive in the backup folder", all(os.path.exists(os.path.join(backups, a)) for a in archives))
check("the catalogue lists every archive once", sorted(e["file"] for e in backup["catalogue"]) == sorted(archives))
check("backup.xml reads back into the same catalogue", read_back == backup["catalogue"])
raw = open(os.path.join(work, "program", "backup.xml"), "rb").read()
check("backup.xml has CR LF line ends and the root quillary", b"\r\n<quillary>\r\n" in raw)
open(os.path.join(work, "first-archive"), "w").write(sorted(archives)[0])
sys.exit(1 if failures else 0)
PY
[ $? = 0 ] || failures=$((failures + 1))

archive=$(cat "$work/first-archive")
cli restore "$archive" > "$work/restore.json"
check "restore of $archive succeeds" test "$?" = 0
for _ in $(seq 100); do [ -s "$work/program/dpinst-calls.txt" ] && break; sleep 0.1; done
folder=$("$wine_run" winepath -w "$work/program/backup/${archive%.zip}" 2>/dev/null)
check "the installer is started forced on the unpacked folder" \
  grep -qF "/SH /F /PATH \"$folder\"" "$work/program/dpinst-calls.txt"
check "the archive's files are unpacked" test -n "$(find "$work/program/backup/${archive%.zip}" -name '*.sys')"
cli restore Missing.zip > /dev/null
check "restoring a missing archive fails" test "$?" = 1

# As a filtered administrator: the restore goes to the elevated companion.
uac() {  # uac ANSWER COMMAND...: the test build with a filtered token
  local answer=$1
  shift
  (cd "$work/program" && QUILLARY_TEST_RIGHTS=can_elevate QUILLARY_TEST_ELEVATION=$answer \
    QUILLARY_TEST_ELEVATION_LOG="$work/prompts.log" "$wine_run" quillary-cli-test.exe "$@")
}
rm -f "$work/program/dpinst-calls.txt"
uac decline restore "$archive" > /dev/null 2>&1
check "a declined prompt restores nothing (exit 5)" test "$?" = 5
check "... and starts nothing" test ! -e "$work/program/dpinst-calls.txt"
uac accept restore "$archive" > "$work/restore-uac.json"
check "an accepted prompt restores through the companion" grep -q '"elevated_companion": *true' "$work/restore-uac.json"
for _ in $(seq 100); do [ -s "$work/program/dpinst-calls.txt" ] && break; sleep 0.1; done
check "... which starts the installer forced on the unpacked folder" \
  grep -qF "/SH /F /PATH \"$folder\"" "$work/program/dpinst-calls.txt"
check "... the companion given the archive by its full path" \
  grep -qF "\"path\": \"$(sed 's/\\/\\\\/g' <<<"$("$wine_run" winepath -w "$work/program/backup/$archive" 2>/dev/null)")\"" \
  "$work/prompts.log"

# A backup.xml the program cannot read is moved aside and named, never
# overwritten.
printf '<quillary><driver>' > "$work/program/backup.xml"
cli catalogue > /dev/null 2> "$work/catalogue-stderr.txt"
check "the catalogue command names the file it moved aside" \
  grep -q "moved aside as backup.xml.unreadable" "$work/catalogue-stderr.txt"
check "the file moved aside is kept as it was" grep -qxF '<quillary><driver>' "$work/program/backup.xml.unreadable"
printf 'not xml' > "$work/program/backup.xml"
device=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["packages"][0]["devices"][0])' "$work/backup.json")
cli backup --device "$device" > "$work/backup-again.json" 2>/dev/null
check "backup lists the file it moved aside" python3 -c \
  'import json, sys; sys.exit(json.load(open(sys.argv[1]))["set_aside"] != ["backup.xml.unreadable-2"])' "$work/backup-again.json"

# --- an installation backs up what it replaces first, and is rolled back ---
rm -f "$work/program/backup.xml" "$work/program/backup.xml.unreadable"* "$work/program/dpinst-calls.txt"
"$root/tests/gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/updates" 1 >/dev/null || exit 1
"$root/scripts/sign-packages" "$work/updates" --sample >/dev/null 2>&1 || exit 1
cp "$work/updates/update1.zip" "$work/updates/update1.zip.minisig" "$work/program/"
link=http://127.0.0.1/packages/update1.zip
field() { python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$@"; }
cli install update1.zip --link "$link" --inf update1\\update1.inf > "$work/install-backup.json" 2> "$work/install-backup.err"
check "an installation with a backup succeeds" test "$?" = 0
check "... having backed up the driver it replaces" test "$(field "$work/install-backup.json" 'd["backup"]["state"]')" = made
archive=$(field "$work/install-backup.json" 'd["backup"]["archives"][0]')
check "... into an archive that tests whole" \
  python3 -c "import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)" "$work/program/backup/$archive"
cli catalogue > "$work/catalogue-made.json"
check "... listed with the package it made way for" \
  test "$(field "$work/catalogue-made.json" '[e["made_way_for"] for e in d if e["file"] == "'"$archive"'"]')" = "[['$link']]"
for _ in $(seq 100); do [ -s "$work/program/dpinst-calls.txt" ] && break; sleep 0.1; done
check "... and the installer started after it" grep -q update1 "$work/program/dpinst-calls.txt"
check "setup.dat records the link" grep -qxF "$link" <(tr -d '\r' < "$work/program/setup.dat")

calls=$(grep -c "" "$work/program/dpinst-calls.txt")
cli rollback "$link" > "$work/rollback.json"
check "rollback of the package succeeds" test "$?" = 0
for _ in $(seq 100); do [ "$(grep -c "" "$work/program/dpinst-calls.txt")" -gt "$calls" ] && break; sleep 0.1; done
check "... from the backup (Wine has no roll back of its own)" test "$(field "$work/rollback.json" 'd["rollback_route"]')" = backup
check "... which is installed forced" \
  grep -qF "/SH /F /PATH \"$("$wine_run" winepath -w "$work/program/backup/${archive%.zip}" 2>/dev/null)\"" \
  "$work/program/dpinst-calls.txt"
check "... and the link leaves setup.dat" test "$(field "$work/rollback.json" 'd["link_removed"]')" = True
check "... as the file says" bash -c "! grep -qF '$link' '$work/program/setup.dat'"
cli rollback "$link" > /dev/null 2> "$work/rollback-again.err"
check "a second rollback is refused: exit 12" test "$?" = 12
check "... saying why" grep -q "not in setup.dat" "$work/rollback-again.err"
check "... and starts nothing" test "$(grep -c "" "$work/program/dpinst-calls.txt")" = $((calls + 1))

# A backup that cannot be made: the backup folder lies below a file.
touch "$work/in-the-way"
"$wine_run" reg add 'HKCU\Software\Korvane' /v backup_path /t REG_SZ \
  /d "$("$wine_run" winepath -w "$work/in-the-way" 2>/dev/null)\\backups" /f >/dev/null 2>&1
cli install update1.zip --link "$link" --inf update1\\update1.inf > /dev/null 2> "$work/install-no-backup.err"
check "an installation whose backup fails is refused: exit 11" test "$?" = 11
check "... saying why" grep -q "could not be backed up" "$work/install-no-backup.err"
check "... and installs nothing" test "$(grep -c "" "$work/program/dpinst-calls.txt")" = $((calls + 1))
check "... nor records the link" bash -c "! grep -qF '$link' '$work/program/setup.dat'"
cli install update1.zip --link "$link" --inf update1\\update1.inf --no-backup > "$work/install-skipped.json"
check "--no-backup installs without one" test "$?" = 0
check "... and says so" test "$(field "$work/install-skipped.json" 'd["backup"]["state"]')" = skipped
"$wine_run" reg delete 'HKCU\Software\Korvane' /v backup_path /f >/dev/null 2>&1

# As a filtered administrator the roll back runs in the elevated companion;
# the backup made before the first installation still stands for the link.
calls=$(grep -c "" "$work/program/dpinst-calls.txt")
uac accept rollback "$link" > "$work/rollback-uac.json"
check "a rollback through the companion succeeds" test "$?" = 0
check "... elevated" test "$(field "$work/rollback-uac.json" 'd["elevated_companion"]')" = True
check "... from the backup, and the link leaves setup.dat" \
  test "$(field "$work/rollback-uac.json" '(d["rollback_route"], d["link_removed"])')" = "('backup', True)"
for _ in $(seq 100); do [ "$(grep -c "" "$work/program/dpinst-calls.txt")" -gt "$calls" ] && break; sleep 0.1; done
check "... having started the installer on the backup" test "$(grep -c "" "$work/program/dpinst-calls.txt")" = $((calls + 1))

report_checks wine_backup_test
