#!/usr/bin/env bash
# Nothing on the wire is trusted: the sample catalogue signed by its
# publisher (the sample key, built into the program) and served by the real
# service, and the ways a network, a mirror or the service itself could
# hand the program other bytes, each through quillary-cli.exe under Wine,
# which downloads and installs as the program does (the stand-in DPInst
# records every installation):
#   - a man in the middle rewriting the reply's link and SHA-256 to its own
#     package (under its own name and under the genuine one), or stripping
#     the signature;
#   - a service offering an unsigned package while a key is trusted;
#   - a package signed by another trusted key, offered under another
#     package's name;
#   - a reply claiming another driver version than the signed INF;
#   - a key revoked by policy; a mirror swapping bytes after the query.
# Every one ends with nothing installed, its own exit code and a clear
# message; the genuine package installs.
#
# usage: signed_packages_test.sh WINDOWS_BIN STANDIN_DIR NATIVE_BIN
set -uo pipefail
windows=$(cd "$1" && pwd)
standins=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
source "$root/tests/tools/checks.sh"
work=$(mktemp -d)
key='HKLM\Software\Policies\Korvane\Quillary'
pids=()
clear_policy() { "$wine_run" reg delete 'HKLM\Software\Policies\Korvane' /f >/dev/null 2>&1; }
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  clear_policy  # the prefix is shared with the other tests, which expect none
  rm -rf "$work"
}
trap cleanup EXIT
source "$root/tests/tools/wine_helpers.sh"
json() {  # json FILE PYTHON-EXPRESSION-OVER-d
  python3 -c "import json, sys; d = json.load(open(sys.argv[1])); print($2)" "$1" 2>/dev/null
}

# --- the catalogue, signed by its publisher; a second publisher's key -------
"$root/scripts/make-sample-catalogue" "$work/catalogue" >/dev/null || exit 1
"$root/scripts/sign-packages" "$work/catalogue" --sample >/dev/null 2>&1 || exit 1
"$root/scripts/make-device-fixture" demo "$work/catalogue/catalogue.json" > "$work/demo-pc.json" || exit 1
fixture=$(windows_path "$work/demo-pc.json")
minisign -G -W -p "$work/other.pub" -s "$work/other.key" >/dev/null || exit 1
other_key=$(sed -n 2p "$work/other.pub")
package=veltrix_display_9.17.10.2932.zip

mkdir -p "$work/program" "$work/downloads"
cp "$windows/quillary-cli.exe" "$standins/DPInst64.exe" "$standins/DPInst32.exe" "$work/program/"
cli() { (cd "$work/program" && "$wine_run" quillary-cli.exe "$@"); }
installs() { [ -f "$work/program/dpinst-calls.txt" ] && wc -l < "$work/program/dpinst-calls.txt" || echo 0; }
# DPInst is started and not waited for: its line comes when it has run.
installs_reach() { for _ in $(seq 100); do [ "$(installs)" -ge "$1" ] && return 0; sleep 0.1; done; return 1; }
downloads=$(windows_path "$work/downloads")

start() {  # start NAME COMMAND...: the address it prints in $url
  "$@" > "$work/$name.out" 2> "$work/$name.log" &
  pids+=($!)
  for _ in $(seq 100); do grep -q listening "$work/$name.out" && break; sleep 0.1; done
  url=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/$name.out" | head -n 1)
  [ -n "$url" ] || { echo "signed_packages_test: $name did not start"; cat "$work/$name.log"; exit 1; }
}
name=service start "$native/quillary-service" --catalogue "$work/catalogue" --listen 127.0.0.1:0 --quiet
service=$url

# query SERVER NAME: the offer of $package in $work/NAME.item (JSON)
query() {
  cli query --devices "$fixture" --server "$1" --os WIN764 --os-version 61 --oem-code-page 437 \
    --installed 'C:\none' > "$work/$2.query" 2> "$work/$2.query.err"
  python3 - "$work/$2.query" "$package" > "$work/$2.item" <<'PY'
import json, sys
items = [i for d in json.load(open(sys.argv[1]))["devices"] for i in d["items"]]
print(json.dumps(next((i for i in items if i["link"].endswith("/" + sys.argv[2])
                       or i["link"].endswith("/attacker.zip")), {})))
PY
}
field() { json "$work/$1.item" "d['$2']"; }
# download NAME: the offer of NAME.item, with its signature as the reply
# carried it (as the program's panel does); exit code in $code
download() {
  local signature=(--no-minisig-file)
  [ -n "$(field "$1" minisig)" ] && signature=(--minisig-base64 "$(field "$1" minisig)")
  cli download "$(field "$1" link)" --size "$(field "$1" size)" --sha256 "$(field "$1" sha256)" \
    "${signature[@]}" --dir "$downloads" --retry-pause 0 > "$work/$1.download" 2> "$work/$1.err"
  code=$?
}
nothing_left() { [ -z "$(ls -A "$work/downloads")" ]; }
stderr_says() { tr -d '\r' < "$work/$1.err" | grep -q -- "$2"; }

# --- the genuine package --------------------------------------------------------
clear_policy
query "$service" genuine
check "the reply carries the publisher's signature" test -n "$(field genuine minisig)"
download genuine
check "the genuine package downloads (exit 0)" test "$code" = 0
check "... its signature verified" test "$(json "$work/genuine.download" "d['signature_verified']")" = True
final=$(json "$work/genuine.download" "d['final_path']")
check "... and kept beside it" test -f "$work/downloads/$(basename "${final//\\//}").minisig"
inf=$(field genuine inf_name)
before=$(installs)
cli install "$final" --link "$(field genuine link)" --inf "$inf" \
  --offered "$inf" "$(field genuine ver)" "$(field genuine date)" > "$work/genuine.install" 2> "$work/genuine.install.err"
check "it installs (exit 0)" test "$?" = 0
check "... with DPInst started once" installs_reach $((before + 1))
check "... its signature checked again before extraction" \
  test "$(json "$work/genuine.install" "d['signature']")" = valid
rm -rf "$work/downloads"/*

# --- a man in the middle --------------------------------------------------------
printf 'MZ an attacker setup program padding padding padding' > "$work/attacker.zip"
for mode in other-link same-name strip; do
  name=proxy-$mode start python3 "$root/tests/tools/rewriting_proxy.py" --upstream "$service" \
    --package "$work/attacker.zip" --mode "$mode"
  query "$url" "$mode"
  before=$(installs)
  download "$mode"
  check "man in the middle ($mode): the attacker's package is refused (exit 6)" test "$code" = 6
  check "... before a byte of it was fetched" sh -c "! grep -q 'GET /p/' '$work/proxy-$mode.out'"
  check "... nothing left to install, nothing installed" sh -c "[ -z \"\$(ls -A '$work/downloads')\" ] && [ $(installs) = $before ]"
done
check "... the reasons: another file, another digest, no signature" test \
  "$(json "$work/other-link.download" "d['signature']") $(json "$work/same-name.download" "d['signature']") $(json "$work/strip.download" "d['signature']")" = \
  "other_file other_digest unsigned_package"
check "... told on stderr" stderr_says strip "not signed, and signatures are required"

# --- the reply claims another version than the signed INF ------------------------
name=proxy-version start python3 "$root/tests/tools/rewriting_proxy.py" --upstream "$service" \
  --package "$work/attacker.zip" --mode version
query "$url" version
check "a reply claiming version 99.0.0.0" test "$(field version ver)" = 99.0.0.0
download version
check "... downloads the genuine, signed package (exit 0)" test "$code" = 0
before=$(installs)
final=$(json "$work/version.download" "d['final_path']")
cli install "$final" --link "$(field version link)" --inf "$inf" --offered "$inf" "$(field version ver)" \
  "$(field version date)" > "$work/version.install" 2> "$work/version.err"
check "... but installs nothing: the INF says another DriverVer (exit 8)" test "$?" = 8
check "... nothing started" test "$(installs)" = "$before"
check "... and says why" stderr_says version "DriverVer"
rm -rf "$work/downloads"/*

# --- a service that offers an unsigned package while a key is trusted -------------
mkdir -p "$work/unsigned"
cp "$work/catalogue"/*.zip "$work/catalogue/catalogue.json" "$work/unsigned/"
name=unsigned-service start "$native/quillary-service" --catalogue "$work/unsigned" --listen 127.0.0.1:0 --quiet
query "$url" unsigned
check "an unsigned catalogue's offer has no signature" test -z "$(field unsigned minisig)"
download unsigned
check "... and is refused while the sample key is trusted (exit 6)" test "$code" = 6
check "... nothing left to install" nothing_left

# ... unless the policy says the team serves unsigned packages.
"$wine_run" reg add "$key" /v RequireSignedPackages /t REG_DWORD /d 0 /f >/dev/null 2>&1
download unsigned
check "with RequireSignedPackages = 0 it downloads (exit 0)" test "$code" = 0
cli settings > "$work/settings-unsigned.json" 2>/dev/null
check "... and settings says so" test "$(json "$work/settings-unsigned.json" \
  "d['policy']['signatures']['require_signed_packages'], d['policy']['signatures']['require_signed_source']")" = \
  "False policy"
clear_policy
rm -rf "$work/downloads"/*

# --- another trusted publisher's signature, offered under this package's name -----
mkdir -p "$work/mixed"
cp "$work/catalogue"/*.zip "$work/catalogue"/*.minisig "$work/catalogue/catalogue.json" "$work/mixed/"
other_package=$(ls "$work/mixed" | grep '\.zip$' | grep -v "$package" | head -n 1)
minisign -S -s "$work/other.key" -m "$work/mixed/$other_package" -x "$work/mixed/$package.minisig" \
  -t "$(printf 'timestamp:1\tfile:%s\tsha256:%s' "$other_package" "$(sha256sum "$work/mixed/$other_package" | cut -c1-64)")" \
  </dev/null >/dev/null 2>&1
"$wine_run" reg add "$key\\TrustedKeys" /v 1 /t REG_SZ /d "$other_key" /f >/dev/null 2>&1
name=mixed-service start "$native/quillary-service" --catalogue "$work/mixed" --listen 127.0.0.1:0 --quiet
query "$url" mixed
download mixed
check "a trusted publisher's signature of $other_package, offered for $package, is refused (exit 6)" \
  test "$code" = 6
check "... as a signature for another file" test "$(json "$work/mixed.download" "d['signature']")" = other_file
clear_policy

# --- a revoked key ----------------------------------------------------------------
"$wine_run" reg add "$key\\RevokedKeys" /v 1 /t REG_SZ /d B0F503A4439EC38 /f >/dev/null 2>&1
cli settings > "$work/settings-revoked.json" 2>/dev/null
check "settings lists the revoked key and no trusted one" test \
  "$(json "$work/settings-revoked.json" "d['policy']['signatures']['revoked_keys'], d['policy']['signatures']['trusted_keys']")" = \
  "['0B0F503A4439EC38'] []"
download genuine
check "the sample publisher's package is refused once its key is revoked (exit 6)" test "$code" = 6
check "... as signed by a revoked key" test "$(json "$work/genuine.download" "d['signature']")" = revoked_key
download strip
check "... and stripping the signature does not get past the revocation (exit 6)" test "$code" = 6
clear_policy

# --- https demanded by policy --------------------------------------------------------
"$wine_run" reg add "$key" /v RequireHttps /t REG_DWORD /d 1 /f >/dev/null 2>&1
cli settings > "$work/settings-https.json" 2>/dev/null
check "with RequireHttps = 1, settings leaves out the http:// servers" test \
  "$(json "$work/settings-https.json" "d['policy']['require_https'], d['policy']['update_servers'], len(d['policy']['refused_servers'])")" = \
  "True [] 3"
download genuine
check "... and an http:// package link is refused (exit 7)" test "$code" = 7
check "... saying why" stderr_says genuine "requires https://"
check "... with nothing fetched" nothing_left
clear_policy

# --- a mirror that swaps the bytes after the query ----------------------------------
query "$service" swapped
cp "$work/catalogue/$package" "$work/original.zip"
python3 - "$work/catalogue/$package" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[1], "wb").write(bytes(data))
PY
before=$(installs)
download swapped
cp "$work/original.zip" "$work/catalogue/$package"
check "bytes swapped on the mirror after the query are refused (exit 6)" test "$code" = 6
check "... as not the ones the publisher signed" test "$(json "$work/swapped.download" "d['signature']")" = bad_signature
check "... deleted, nothing installed" sh -c "[ -z \"\$(ls -A '$work/downloads')\" ] && [ $(installs) = $before ]"

report_checks signed_packages_test
