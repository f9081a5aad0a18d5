#!/usr/bin/env bash
# The machine policy under Wine, written where Group Policy writes it
# (HKLM\SOFTWARE\Policies\Korvane\Quillary, with reg.exe): quillary-cli.exe
# settings shows the servers it leads to and why values are ignored, and
# quillary-cli.exe query asks the policy's servers in their order, the
# built-in ones when the policy names none that can be used, and --server
# in place of either. Three services on ports of their own: one that answers
# 503, one that answers, one that must never be asked; a fourth port where
# nothing listens.
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
  # The prefix is shared with the other tests, which expect no policy.
  clear_policy
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
check "... and then the policy is not read" test ! -s "$work/query-server.err"

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

report_checks wine_policy_test
