#!/usr/bin/env bash
# Every Windows version Wine offers, in a prefix of this test's own (the
# version is set for the whole prefix; the other tests expect Wine's default
# Windows 7): quillary-cli.exe sysinfo must name each with the code name and
# version code the update service expects. Windows 11, which Wine 8 does not
# list, is Windows 10 with the build number of Windows 11 in the registry.
#
# On Windows 7, 8.1, 10 and 11 the demo PC, injected into the device tree,
# is asked for against the sample catalogue: each system gets the offers
# catalogue.json lists for it.
#
# On Windows 10 without DPInst in the program's folder, install and restore
# go through pnputil.exe (a stand-in that records its command line, placed
# in System32 where Windows keeps the real one) and report its exit code;
# with DPInst64.exe in the folder, DPInst is started as before. Wine has no
# System Restore: the installation goes on and says so.
#
# usage: wine_windows_versions_test.sh WINDOWS_BIN STANDIN_DIR NATIVE_BIN
set -uo pipefail
windows=$(cd "$1" && pwd)
standins=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
service=
cleanup() {
  [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../tools/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/sample_signature.sh"
json() {  # json FILE PYTHON-EXPRESSION-OVER-d
  python3 -c "import json, sys; d = json.load(open(sys.argv[1])); print($2)" "$1"
}
mkdir -p "$work/program"
cp "$windows/quillary-cli.exe" "$work/program/"
cli() { (cd "$work/program" && "$wine_run" quillary-cli.exe "$@"); }

# --- each version: code name and version code --------------------------------
versions=$("$wine_run" winecfg /? 2>/dev/null | tr -d '\r' | sed -n '/Valid versions/,$p' | awk 'NR > 1 && NF >= 2 {print $1}')
check "winecfg lists the Windows versions it offers" test -n "$versions"
declare -A expected=(
  [win10]="WIN1064 100" [win81]="WIN8164 63" [win8]="WIN864 62" [win2008r2]="WIN200864 61" [win7]="WIN764 61"
  [win2008]="WIN200864 60" [vista]="VISTA64 60" [win2003]="WIN200364 52"
  # Windows XP x64 is NT 5.2, which the program always named after Server 2003.
  [winxp64]="WIN200364 52"
)
set_version() { "$wine_run" winecfg /v "$1" >/dev/null 2>&1; }
for version in $versions; do
  set_version "$version"
  cli sysinfo > "$work/sysinfo-$version.json"
  got="$(json "$work/sysinfo-$version.json" 'd["os_code_name"], d["os_version_code"]')"
  check "Wine as $version: sysinfo says ${expected[$version]:-(no expectation for $version)} (got $got)" \
    test "$got" = "${expected[$version]:-none}"
done

windows_11() {  # Windows 10 as Wine presents it, with Windows 11's first build
  set_version win10
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
  "$wine_run" reg add "$key" /v CurrentBuildNumber /d 22000 /f >/dev/null 2>&1
  "$wine_run" reg add "$key" /v CurrentBuild /d 22000 /f >/dev/null 2>&1
}
windows_11
cli sysinfo > "$work/sysinfo-win11.json"
got="$(json "$work/sysinfo-win11.json" 'd["os_code_name"], d["os_version_code"], d["os_build"]')"
check "Wine as Windows 10 with build 22000: sysinfo says WIN1164 100 22000 (got $got)" test "$got" = "WIN1164 100 22000"
check "... on an x64 machine" test "$(json "$work/sysinfo-win11.json" 'd["architecture"]')" = x64

# --- each system gets its own offers ------------------------------------------
"$root/scripts/make-sample-catalogue" "$work/catalogue" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/catalogue/catalogue.json" > "$work/demo-pc.json" || exit 1
"$wine_run" "$windows/inject_devices.exe" "$("$wine_run" winepath -w "$work/demo-pc.json" 2>/dev/null)" >/dev/null || exit 1
# Signed by the sample publisher, whose key the program trusts.
"$root/scripts/sign-packages" "$work/catalogue" --sample >/dev/null 2>&1 || exit 1
"$native/quillary-service" --catalogue "$work/catalogue" --listen 127.0.0.1:0 --quiet > "$work/service.out" &
service=$!
for _ in $(seq 100); do grep -q listening "$work/service.out" && break; sleep 0.1; done
url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/service.out" | head -n 1)
check "the service starts" test -n "$url"

query_as() {  # query_as NAME: the demo PC's query on the prefix's present system
  cli query --server "$url" --installed 'C:\none' > "$work/query-$1.json"
  cli sysinfo > "$work/system-$1.json"
  python3 - "$work" "$1" <<'PY'
import json, os, sys
work, name = sys.argv[1], sys.argv[2]
system = json.load(open(os.path.join(work, f"system-{name}.json")))["os_code_name"]
devices = json.load(open(os.path.join(work, "catalogue", "catalogue.json")))["demo_pc"]["devices"]
got = {d["device_id"]: [i["link"].rsplit("/", 1)[-1] for i in d["items"]]
       for d in json.load(open(os.path.join(work, f"query-{name}.json")))["devices"]}
# Once a program with a window has run in the prefix, Wine lists its own
# display adapter in place of the demo PC's: a device the scan does not list
# is passed over, but only that one.
listed = [d for d in devices if d["device_id"] in got]
wrong = [d["key"] for d in listed
         if got[d["device_id"]] != [o["package"] for o in d["expected_offers"].get(system, [None])]]
missing = [d["key"] for d in devices if d["device_id"] not in got]
if len(missing) > 1 or (missing and missing != ["display"]):
    wrong.append("unlisted " + ", ".join(missing))
print(("ok   " if not wrong else "FAIL ") + f"Wine as {name} ({system}): every device gets the offers of its system"
      + (f"; not so for {', '.join(wrong)}" if wrong else ""))
sys.exit(1 if wrong else 0)
PY
  [ $? = 0 ] || failures=$((failures + 1))
}
query_as win11
for version in win10 win81 win7; do
  set_version "$version"
  query_as "$version"
done

# --- installation and restore through pnputil ----------------------------------
set_version win10
system32=$("$wine_run" winepath -u 'C:\windows\system32' 2>/dev/null)
cp "$standins/pnputil.exe" "$system32/pnputil.exe"
mkdir -p "$work/downloads" "$work/program/backup"
python3 - "$work/downloads/display.zip" "$work/program/backup/Display.zip" <<'PY'
import sys, zipfile
for path in sys.argv[1:]:
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("drv/x64/vxdisp.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n")
        z.writestr("drv/x64/vxdisp.sys", "driver")
PY
sign_package "$work/downloads/display.zip"
downloads=$("$wine_run" winepath -w "$work/downloads" 2>/dev/null)
pnputil_calls() { tr -d '\r' 2>/dev/null < "$system32/dpinst-calls.txt"; }
pnputil_line() {  # pnputil_line FOLDER: the command line the stand-in records for FOLDER
  printf 'pnputil.exe|"C:\\windows\\system32\\pnputil.exe" /add-driver "%s\\*.inf" /subdirs /install' "$1"
}

cli install "$downloads\\display.zip" --inf 'drv\x64\vxdisp.inf' --link http://example.test/display.zip \
  --name "Veltrix Display 20.19" > "$work/install.json"
check "install without DPInst exits 0" test "$?" = 0
extraction=$(json "$work/install.json" 'd["extraction_folder"]')
check "pnputil gets exactly /add-driver on the INF folder's INF files, /subdirs and /install" \
  test "$(pnputil_calls)" = "$(pnputil_line "$extraction\\drv\\x64")"
check "... and is waited for: exit code 0, installed" \
  test "$(json "$work/install.json" 'd["installer"]["name"], d["installer"]["exit_code"], d["installer"]["result"]')" = \
  "pnputil 0 installed"
check "setup.dat records the link" grep -qF "http://example.test/display.zip" "$work/program/setup.dat"
check "Wine has no System Restore: the installation goes on and says why" \
  test "$(json "$work/install.json" 'd["restore_point"]["made"], d["restore_point"]["state"]')" = "False not_supported"
check "... naming the restore point it asked for" \
  test "$(json "$work/install.json" 'd["restore_point"]["description"]')" = "Quillary: before installing Veltrix Display 20.19"

echo 3010 > "$system32/pnputil.exe.exit"
rm -f "$system32/dpinst-calls.txt"
cli install "$downloads\\display.zip" --inf 'drv\x64\vxdisp.inf' > "$work/install-reboot.json"
check "pnputil's 3010 is reported as installed, a restart to follow" \
  test "$(json "$work/install-reboot.json" 'd["installer"]["exit_code"], "restart" in d["installer"]["result"]')" = "3010 True"

echo 259 > "$system32/pnputil.exe.exit"
rm -f "$system32/dpinst-calls.txt"
cli restore Display.zip > "$work/restore.json"
check "restore without DPInst exits 0" test "$?" = 0
backup=$("$wine_run" winepath -w "$work/program/backup" 2>/dev/null)
check "restore runs pnputil on the unpacked archive" test "$(pnputil_calls)" = "$(pnputil_line "$backup\\Display")"
check "... reporting that nothing was newer than what is installed (259)" \
  test "$(json "$work/restore.json" 'd["installer"]["exit_code"], d["restore_point"]["description"]')" = \
  "259 Quillary: before installing Display"

cp "$standins/DPInst64.exe" "$work/program/"
rm -f "$system32/dpinst-calls.txt"
cli install "$downloads\\display.zip" --inf 'drv\x64\vxdisp.inf' > "$work/install-dpinst.json"
for _ in $(seq 100); do [ -s "$work/program/dpinst-calls.txt" ] && break; sleep 0.1; done
check "with DPInst64.exe in the program's folder, DPInst is started as before" \
  grep -qF "/SH /PATH \"$extraction\\drv\\x64\"" "$work/program/dpinst-calls.txt"
check "... and pnputil is not" test ! -s "$system32/dpinst-calls.txt"

report_checks wine_windows_versions_test
