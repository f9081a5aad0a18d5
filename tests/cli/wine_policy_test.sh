#!/usr/bin/env bash
# The machine policy under Wine, written where Group Policy writes it
# (HKLM\SOFTWARE\Policies\Korvane\Quillary, with reg.exe): quillary-cli.exe
# settings shows the servers it leads to and why values are ignored, and
# quillary-cli.exe query asks the policy's servers in their order, the
# built-in ones when the policy names none that can be used, and --server
# in place of either; the policy's blocked packages, kept from every path;
# and the user's hidden updates (hide, hidden, show, and query). Three
# services on ports of their own: one that answers 503, one that answers,
# one that must never be asked; a fourth port where nothing listens.
#
# usage: wine_policy_test.sh WINDOWS_BIN NATIVE_BIN
set -uo pipefail
windows=$(cd "$1" && pwd)
native=$(cd "$2" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
source "$root/tests/tools/checks.sh"
work=$(mktemp -d)
key='HKLM\Software\Policies\Korvane\Quillary'
services=()
clear_policy() { "$wine_run" reg delete 'HKLM\Software\Policies\Korvane' /f >/dev/null 2>&1; }
cleanup() {
  for pid in "${services[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  # The prefix is shared with the other tests, which expect no policy and
  # nothing hidden.
  clear_policy
  "$wine_run" reg delete 'HKCU\Software\Korvane' /v hidden_updates /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

json() {  # json FILE PYTHON-EXPRESSION-OVER-d
  python3 -c "import json, sys; d = json.load(open(sys.argv[1])); print($2)" "$1"
}
policy() {  # policy NAME TYPE DATA
  "$wine_run" reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
}
mkdir -p "$work/program"
cp "$windows/quillary-cli.exe" "$work/program/"
cli() { (cd "$work/program" && "$wine_run" quillary-cli.exe "$@"); }

"$root/scripts/make-sample-catalogue" "$work/catalogue" >/dev/null || exit 1
"$root/scripts/make-device-fixture" demo "$work/catalogue/catalogue.json" > "$work/demo-pc.json" || exit 1
fixture=$("$wine_run" winepath -w "$work/demo-pc.json" 2>/dev/null)
start_service() {  # start_service NAME [FAULT]: its address in $url, its log in $work/NAME.log
  "$native/quillary-service" --catalogue "$work/catalogue" --listen 127.0.0.1:0 ${2:+--fault "$2"} \
    > "$work/$1.out" 2> "$work/$1.log" &
  services+=($!)
  for _ in $(seq 100); do grep -q listening "$work/$1.out" && break; sleep 0.1; done
  url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/$1.out" | head -n 1)
  [ -n "$url" ] || { echo "wine_policy_test: the service $1 did not start"; exit 1; }
}
start_service failing status:503; failing=$url
start_service answering; answering=$url
start_service never; never=$url
nobody="http://127.0.0.1:$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')/"
queries() { grep -c '"POST /"' "$work/$1.log"; }

# --- no policy ------------------------------------------------------------------
clear_policy
cli settings > "$work/settings-none.json" 2> "$work/settings-none.err"
check "without a policy: the built-in servers" \
  test "$(json "$work/settings-none.json" 'd["policy"]["source"], d["policy"]["update_servers"], d["policy"]["ignored"]')" = \
  "built-in ['http://127.0.0.1:18081/', 'http://127.0.0.1:18082/', 'http://127.0.0.1:18083/'] []"
check "... and nothing on stderr" test ! -s "$work/settings-none.err"

# --- the policy's servers, in order ---------------------------------------------
policy UpdateServer1 REG_SZ "$failing"
policy UpdateServer2 REG_SZ "$nobody"
policy UpdateServer3 REG_SZ "$answering"
policy UpdateServer4 REG_SZ "$never"
cli settings > "$work/settings.json" 2> "$work/settings.err"
check "settings exits 0 with a policy" test "$?" = 0
check "the policy's three servers, in the order of their values" \
  test "$(json "$work/settings.json" 'd["policy"]["source"], d["policy"]["update_servers"]')" = \
  "policy ['$failing', '$nobody', '$answering']"
check "a fourth server is ignored, with one line that says so" \
  test "$(json "$work/settings.json" 'd["policy"]["ignored"]')" = \
  "['policy value UpdateServer4 ignored: Quillary reads no value of this name']"
check "... that line on stderr too" \
  test "$(tr -d '\r' < "$work/settings.err")" = "quillary-cli: policy value UpdateServer4 ignored: Quillary reads no value of this name"
check "... and the user's eight settings are still all there" \
  test "$(json "$work/settings.json" 'len(d) - 1')" = 8

cli query --devices "$fixture" --installed 'C:\none' > "$work/query.json" 2> "$work/query.err"
check "query without --server exits 0 through the policy's servers" test "$?" = 0
check "the first server was asked (and answered 503)" test "$(queries failing)" = 1
check "the third answered" test "$(queries answering)" = 1
check "... with the system's build in the request (Wine: Windows 7 SP1)" grep -q 'WIN764 build 7601,' "$work/answering.log"
check "the offers' links point at the server that answered" \
  test "$(json "$work/query.json" 'sorted({i["link"].rsplit("/packages/", 1)[0] + "/" for x in d["devices"] for i in x["items"]})')" = \
  "['$answering']"
check "a value the program does not read is never asked" test "$(queries never)" = 0
check "query names the ignored value on stderr" grep -q "policy value UpdateServer4 ignored" "$work/query.err"

cli query --devices "$fixture" --installed 'C:\none' --server "$never" > "$work/query-server.json" 2> "$work/query-server.err"
check "--server in place of the policy's servers" test "$(queries never) $(queries failing) $(queries answering)" = "1 1 1"
check "... and then the policy's servers are not weighed (nothing said of them)" test ! -s "$work/query-server.err"

# --- values that cannot be used -------------------------------------------------
clear_policy
policy UpdateServer1 REG_SZ "ftp://x"
policy UpdateServer2 REG_DWORD 8080
policy UpdateServer3 REG_SZ ""
cli settings > "$work/settings-bad.json" 2> "$work/settings-bad.err"
check "settings still exits 0 when no value can be used" test "$?" = 0
check "... and falls back to the built-in servers" \
  test "$(json "$work/settings-bad.json" 'd["policy"]["source"], len(d["policy"]["update_servers"])')" = "built-in 3"
check "... with one line per bad value, an empty one counting as not set" \
  test "$(json "$work/settings-bad.json" '"|".join(d["policy"]["ignored"])')" = \
  'policy value UpdateServer1 ignored: "ftp://x" is not an http:// or https:// address|policy value UpdateServer2 ignored: a REG_DWORD value, where the text (REG_SZ) of an address belongs'
check "... each on stderr" test "$(grep -c 'ignored:' "$work/settings-bad.err")" = 2

policy UpdateServer3 REG_SZ "http://bad host/"
policy UpdateServer2 REG_SZ "$answering"
cli query --devices "$fixture" --installed 'C:\none' > /dev/null 2> "$work/query-mixed.err"
check "a bad value beside a good one: the good one is asked" test "$(queries answering)" = 2
check "... and the bad one named" grep -q 'policy value UpdateServer3 ignored: "http://bad host/" contains a blank' \
  "$work/query-mixed.err"

# --- blocked packages --------------------------------------------------------------
# A link and a hardware ID's version, taken from the offers of the query
# without blocks, written as Group Policy's list writes them.
clear_policy
blocks="$key\BlockedPackages"
read -r blocked_link other_id other_version < <(json "$work/query.json" '" ".join([
  [x for x in d["devices"] if x["items"]][0]["items"][0]["link"],
  [x for x in d["devices"] if x["items"]][-1]["items"][0]["hardid"],
  [x for x in d["devices"] if x["items"]][-1]["items"][0]["ver"]])')
offers_before=$(json "$work/query.json" 'sum(len(x["items"]) for x in d["devices"])')
"$wine_run" reg add "$blocks" /v 1 /t REG_SZ /d "$blocked_link" /f >/dev/null 2>&1
"$wine_run" reg add "$blocks" /v 2 /t REG_SZ /d "$other_id $other_version-" /f >/dev/null 2>&1
"$wine_run" reg add "$blocks" /v 3 /t REG_SZ /d 'PCI\VEN_1 newest' /f >/dev/null 2>&1
cli settings > "$work/settings-blocks.json" 2>/dev/null
check "settings lists the blocks in force, as written" \
  test "$(json "$work/settings-blocks.json" '[b["rule"] for b in d["policy"]["blocked_packages"]]')" = \
  "$(python3 -c 'import sys; print(sys.argv[1:])' "$blocked_link" "$other_id $other_version-")"
check "... with the version range read" \
  test "$(json "$work/settings-blocks.json" 'd["policy"]["blocked_packages"][1]["lowest_version"], d["policy"]["blocked_packages"][1]["highest_version"]')" = \
  "$other_version "
check "... and a rule that is none named with why" \
  grep -qF 'BlockedPackages\\3 ignored: \"PCI\\\\VEN_1 newest\" names a version that is not one to four dotted numbers' \
  "$work/settings-blocks.json"

cli query --devices "$fixture" --installed 'C:\none' --server "$answering" > "$work/query-blocked.json" 2>/dev/null
check "query with blocks: the blocked link is offered to no device" \
  test "$(json "$work/query-blocked.json" 'sum(i["link"] == "'"$blocked_link"'" for x in d["devices"] for i in x["items"])')" = 0
check "... nor that hardware ID's version" \
  test "$(json "$work/query-blocked.json" 'sum(i["hardid"].lower() == r"""'"$other_id"'""".lower() and i["ver"] == "'"$other_version"'" for x in d["devices"] for i in x["items"])')" = 0
check "... and the reply's blocked offers are counted: as many as left the list" \
  test "$(json "$work/query-blocked.json" 'd["blocked_offers"] + sum(len(x["items"]) for x in d["devices"])')" = "$offers_before"
check "... at least the two blocked" test "$(json "$work/query-blocked.json" 'd["blocked_offers"]')" -ge 2

mkdir -p "$work/downloads"
cli download "$blocked_link" --size 1 --dir "$("$wine_run" winepath -w "$work/downloads" 2>/dev/null)" > /dev/null 2> "$work/download-blocked.err"
check "download of a blocked link exits 10" test "$?" = 10
check "... saying why" grep -q "policy blocks the package" "$work/download-blocked.err"
check "... having fetched nothing" bash -c '! grep -q "\"GET " "$1" && [ -z "$(ls -A "$2")" ]' _ "$work/answering.log" "$work/downloads"
cp "$work/catalogue/$(ls "$work/catalogue" | grep '\.zip$' | head -n 1)" "$work/program/package.zip"
cli install package.zip --link "$blocked_link" > /dev/null 2> "$work/install-blocked.err"
check "install of a package by a blocked link exits 10" test "$?" = 10
check "... extracting nothing" test ! -e "$work/program/package"
check "... and recording nothing" test ! -e "$work/program/setup.dat"

# --- the user's hidden updates ---------------------------------------------------
clear_policy
read -r hidden_link hidden_device < <(json "$work/query.json" '" ".join(next(
  (x["items"][x["best"]]["link"], x["device_id"]) for x in d["devices"] if x["best"] is not None))')
cli hide "$hidden_link" "$hidden_device" > "$work/hide.json" 2> "$work/hide.err"
check "hide exits 0 and lists the package for the device" \
  test "$?:$(json "$work/hide.json" '[(h["link"], h["device_id"]) for h in d["hidden"]]')" = \
  "0:$(python3 -c 'import sys; print([(sys.argv[1], sys.argv[2])])' "$hidden_link" "$hidden_device")"
cli query --devices "$fixture" --installed 'C:\none' --server "$answering" > "$work/query-hidden.json" 2>/dev/null
device_of() { echo "next(x for x in d[\"devices\"] if x[\"device_id\"] == r\"\"\"$hidden_device\"\"\")"; }
check "query lists the hidden offer among the device's hidden items" \
  test "$(json "$work/query-hidden.json" "[i['link'] for i in $(device_of)['hidden_items']]")" = "['$hidden_link']"
check "... and neither offers nor picks it for the device" \
  test "$(json "$work/query-hidden.json" "[i['link'] for i in $(device_of)['items']].count('$hidden_link')")" = 0
check "... nor lists the device in a row of that package" \
  test "$(json "$work/query-hidden.json" "sum(r['link'] == '$hidden_link' and r\"\"\"$hidden_device\"\"\" in r['devices'] for r in d['packages'])")" = 0
check "... and counts one hidden package" test "$(json "$work/query-hidden.json" 'd["hidden_packages"]')" = 1
cli hidden > "$work/hidden.json" 2>/dev/null
check "hidden lists it" \
  test "$(json "$work/hidden.json" '[h["device_id"] for h in d["hidden"]]')" = "$(python3 -c 'import sys; print(sys.argv[1:])' "$hidden_device")"
cli show "$hidden_link" > "$work/show.json" 2>/dev/null
check "show exits 0 with nothing hidden left" test "$?:$(json "$work/show.json" 'd["hidden"]')" = "0:[]"
cli query --devices "$fixture" --installed 'C:\none' --server "$answering" > "$work/query-shown.json" 2>/dev/null
check "... and the next query offers it again" \
  test "$(json "$work/query-shown.json" "[i['link'] for i in $(device_of)['items']].count('$hidden_link')")" = 1
cli show "$hidden_link" > /dev/null 2> "$work/show-again.err"
check "show of what is not hidden exits 1, saying so" \
  bash -c '[ "$1" = 1 ] && grep -q "is not hidden" "$2"' _ "$?" "$work/show-again.err"

report_checks wine_policy_test
