#!/usr/bin/env bash
# The device scan under Wine, for real: the demo PC is injected into the
# prefix's device tree, then quillary-cli.exe scans it through SetupAPI.
# Checked: every injected device comes back with its fields as injected,
# Wine's own devices are listed too, nothing is dropped or invented compared
# with the system's own list of device instances (a second route), the raw
# scan replayed natively gives the same device list, and --all lists at least
# as many devices as the default.
#
# usage: wine_scan_test.sh WINDOWS_BIN_DIR NATIVE_QUILLARY_CLI
set -uo pipefail
bin=$(cd "$1" && pwd)
native_cli=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/make-sample-catalogue" "$work/catalogue" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/catalogue/catalogue.json" > "$work/demo-pc.json" || exit 1
fixture_windows=$("$wine_run" winepath -w "$work/demo-pc.json" 2>/dev/null)

"$wine_run" "$bin/inject_devices.exe" "$fixture_windows" || exit 1
"$wine_run" "$bin/quillary-cli.exe" scan --raw > "$work/raw.json" || exit 1
"$wine_run" "$bin/quillary-cli.exe" scan > "$work/scan.json" || exit 1
"$wine_run" "$bin/quillary-cli.exe" scan --all > "$work/all.json" || exit 1
"$wine_run" "$bin/list_device_ids.exe" > "$work/ids.txt" || exit 1
"$native_cli" scan --devices "$work/raw.json" > "$work/replayed.json" || exit 1

python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
load = lambda name: json.load(open(os.path.join(work, name)))
fixture, raw, scan, every = load("demo-pc.json"), load("raw.json"), load("scan.json"), load("all.json")
failures = []
def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)

by_id = {d.get("instance_id", "").upper(): d for d in raw["devices"]}
injected = [d for d in fixture["devices"] if d["present"]]
missing = [d["instance_id"] for d in injected if d["instance_id"].upper() not in by_id]
check(f"all {len(injected)} injected devices are listed", not missing)
# Wine does not answer the enumerator property (the scan takes it from the
# ID), and records a device created without a class under the null GUID.
NULL_GUID = "{00000000-0000-0000-0000-000000000000}"
mismatched = []
for d in injected:
    seen = by_id.get(d["instance_id"].upper())
    if not seen:
        continue
    want = {k: v for k, v in d["properties"].items() if k not in ("EnumeratorName", "ClassGUID")}
    got = {k: v for k, v in seen["properties"].items() if k != "ClassGUID"}
    guid = seen["properties"].get("ClassGUID", "")
    if want != got or d.get("driver") != seen.get("driver") or \
       d["properties"].get("ClassGUID", "").upper() != ("" if guid == NULL_GUID else guid.upper()):
        mismatched.append(d["instance_id"])
check("every injected device has its properties and driver values as injected", not mismatched)
for name in mismatched[:5]:
    print("     differs:", name)
check("Wine's own devices are listed too", "ROOT\\WINE\\WINEBUS" in by_id)

second_route = {line.strip().upper() for line in open(os.path.join(work, "ids.txt")) if line.strip()}
check(f"the scan's {len(by_id)} instances are the system's {len(second_route)}", set(by_id) == second_route)
check("the raw scan replayed natively gives the same device list",
      open(os.path.join(work, "replayed.json")).read() == open(os.path.join(work, "scan.json")).read())
check("--all lists at least as many devices", len(every["devices"]) >= len(scan["devices"]))

listed = {d["device_id"]: d for d in scan["devices"]}
demo = [d for d in load("catalogue/catalogue.json")["demo_pc"]["devices"]]
check("every device the sample catalogue serves is in the device list",
      all(d["device_id"] in listed for d in demo))
display = listed.get(demo[0]["device_id"], {})
check("driver values arrive normalised", display.get("driver_date") == demo[0]["installed_driver"]["date"]
      and display.get("driver_version") == demo[0]["installed_driver"]["version"])
print(f"wine_scan_test: {len(raw['devices'])} device instances under Wine, {len(scan['devices'])} listed")
sys.exit(1 if failures else 0)
PY
