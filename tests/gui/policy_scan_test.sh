#!/usr/bin/env bash
# A scan of quillary.exe (as shipped, no test seams) under Wine, with real
# input, on a machine whose policy names the update servers: the program
# asks the policy's servers in their order (the first answers 503, the
# second answers) and never the built-in ones, which a service on the
# program's three default addresses stands ready to catch. The answering
# service offers packages only to Windows 7 from build 7601 (Service Pack
# 1), which Wine reports: the download page shows them only because the
# scan's request carries the build, as the service's log line confirms,
# and the same query without the build gets none of them. Then the
# policy's blocked packages: off the page and out of download all.
#
# usage: policy_scan_test.sh WINDOWS_BIN NATIVE_BIN
# Needs an X display (the Windows tests run inside xvfb-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../tools/window_test.sh" policy_scan_test "$1"
native=$(cd "$2" && pwd)
gui="$root/tests/gui"
test_name=policy_scan_test
source "$gui/program_test.sh"

policy_services=()
clear_policy() { "$wine_run" reg delete 'HKLM\Software\Policies\Korvane' /f >/dev/null 2>&1; }
stop_policy_services() {
  for pid in "${policy_services[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
}
# The prefix is shared with the other tests, which expect no policy.
trap 'stop_program; stop_service; stop_policy_services; clear_policy; cleanup' EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
policy_service() {  # policy_service NAME CATALOGUE [FAULT]: on a free port, its address in $url
  sign_catalogue "$2" || exit 1
  "$native/quillary-service" --catalogue "$2" --listen 127.0.0.1:0 ${3:+--fault "$3"} \
    > "$work/$1.out" 2> "$work/$1.log" &
  policy_services+=($!)
  wait_until 20 grep -q listening "$work/$1.out"
  url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/$1.out" | head -n 1)
  [ -n "$url" ] || { echo "$test_name: the service $1 did not start"; exit 1; }
}

# Packages for Windows 7 x64 from build 7601 on: NTamd64.6.1...7601.
"$gui/make_update_catalogue.py" "$work/demo-pc.json" "$work/sp1" 3 --decoration NTamd64.6.1...7601 || exit 1
policy_service failing "$work/sp1" status:503; failing=$url
policy_service answering "$work/sp1"; answering=$url
serve "$work/updates"  # the built-in addresses: packages of their own, to catch a query that goes there

clear_policy
key='HKLM\Software\Policies\Korvane\Quillary'
"$wine_run" reg add "$key" /v UpdateServer1 /t REG_SZ /d "$failing" /f >/dev/null 2>&1
"$wine_run" reg add "$key" /v UpdateServer2 /t REG_SZ /d "$answering" /f >/dev/null 2>&1

fresh_settings
set_setting close_to_tray 0
start
start_button
check "a scan on a machine with a policy reaches the download page" wait_until 120 page_visible DownloadWindow
shot policy-scan
check "the first policy server was asked, and answered 503" \
  test "$(grep -c '"POST /" 503' "$work/failing.log")" = 1
check "the second answered the query" test "$(grep -c '"POST /" 200' "$work/answering.log")" = 1
check "the built-in servers were never asked" test "$(queries)" = 0
check "the scan's request named the system and its build (Windows 7 SP1: WIN764 build 7601)" \
  grep -q '"POST /" 200 .*(WIN764 build 7601, ' "$work/answering.log"
panels=$(main children DownloadPanel)
for n in 1 2 3; do
  check "update$n.zip, for build 7601 on, is offered from the policy's server" \
    grep -qF "\"text\": \"${answering}packages/update$n.zip\"" <<<"$panels"
done
check "... and no panel offers a package of the built-in servers" bash -c '! grep -q 127.0.0.1:1808 <<<"$1"' _ "$panels"
stop_program

# --- blocked packages: never on the page, never fetched by download all ----------
# update2.zip by its link, update3.zip by its device's hardware ID and its
# version, as an administrator's "Blocked driver packages" list writes them.
read -r id3 version3 < <("$native/quillary-cli" query --devices "$work/demo-pc.json" --server "$answering" \
  --installed "$work/none" --os WIN764 --os-version 61 --oem-code-page 437 --os-build 7601 |
  python3 -c 'import json, sys
print(next(i["hardid"] + " " + i["ver"] for d in json.load(sys.stdin)["devices"] for i in d["items"] if i["link"].endswith("/update3.zip")))')
"$wine_run" reg add "$key\BlockedPackages" /v 1 /t REG_SZ /d "${answering}packages/update2.zip" /f >/dev/null 2>&1
"$wine_run" reg add "$key\BlockedPackages" /v 2 /t REG_SZ /d "$id3 $version3" /f >/dev/null 2>&1
start
start_button
wait_until 120 page_visible DownloadWindow
panels=$(main children DownloadPanel)
check "a package the policy blocks by its link is not offered on the page" \
  bash -c '! grep -qF "packages/update2.zip" <<<"$1"' _ "$panels"
check "... nor one blocked by its device's hardware ID and version ($id3 $version3)" \
  bash -c '! grep -qF "packages/update3.zip" <<<"$1"' _ "$panels"
check "... while the package not blocked is" grep -qF "packages/update1.zip" <<<"$panels"
access click Quillary "Select all updates" --class MainWindow --child-class DownloadAllWindow --own >/dev/null
access click Quillary "Download all" --class MainWindow --child-class DownloadAllWindow --own >/dev/null
wait_until 10 box_up
box_answer 1
check "download all fetches the package not blocked" wait_until 30 grep -q '"GET /packages/update1.zip"' "$work/answering.log"
check "... and neither blocked one" bash -c '! grep -q "GET /packages/update[23].zip" "$1"' _ "$work/answering.log"
stop_program

# The same devices without the build: the packages are for Service Pack 1
# on, and a WIN764 client that names no build counts as its first release.
offered() {  # offered BUILD: the update packages the answering service offers the demo PC
  "$native/quillary-cli" query --devices "$work/demo-pc.json" --server "$answering" --installed "$work/none" \
    --os WIN764 --os-version 61 --oem-code-page 437 --os-build "$1" |
    python3 -c 'import json, sys; print(sum(1 for d in json.load(sys.stdin)["devices"] for i in d["items"] if "/update" in i["link"]))'
}
check "without the build the service offers none of them" test "$(offered 0)" = 0
check "... with build 7601 it offers them (one for each of three devices)" test "$(offered 7601)" = 3

report_checks "$test_name"
