#!/usr/bin/env bash
# A package from the sample catalogue, under Wine through quillary-cli.exe:
# downloaded from a throttled server, paused with Ctrl-C, resumed from a
# second run (a byte range) to completion, then installed: the stand-in
# driver package installer records how it was started. A download whose
# bytes do not give the offer's SHA-256 is refused. A download that is no
# archive is opened as it is. A setup program (and a download that is a
# program) starts only when the Authenticode check trusts it: programs
# signed here with osslsigncode, tampered and unsigned, through Wine's
# WinVerifyTrust, and the verdicts Wine cannot give through
# QUILLARY_TEST_AUTHENTICODE of quillary-cli-test.exe.
#
# usage: wine_install_test.sh WINDOWS_BIN STANDIN_DIR NATIVE_BIN
set -uo pipefail
windows=$(cd "$1" && pwd)
standins=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
work=$(mktemp -d)
# Wine names files on disk in the locale's character set: UTF-8 here.
export LANG=C.UTF-8
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../tools/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/sample_signature.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/authenticode_samples.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/wine_helpers.sh"

# The multi-folder network package, made large enough to pause part-way.
"$root/scripts/make-sample-catalogue" "$work/sample" >/dev/null || exit 1
mkdir -p "$work/catalogue" "$work/program" "$work/downloads"
python3 - "$work/sample/norvik_lan_7.52.0.2012.zip" "$work/catalogue/norvik_lan_7.52.0.2012.zip" <<'PY'
import os, random, shutil, sys, zipfile
shutil.copy(sys.argv[1], sys.argv[2])
with zipfile.ZipFile(sys.argv[2], "a", zipfile.ZIP_STORED) as z:
    z.writestr("Win7/x64/nvkdiag.bin", random.Random(7).randbytes(3 * 1024 * 1024))
PY
package=norvik_lan_7.52.0.2012.zip
size=$(stat -c %s "$work/catalogue/$package")
cp "$windows/quillary-cli.exe" "$windows/quillary-cli-test.exe" "$standins/DPInst64.exe" "$standins/DPInst32.exe" \
  "$work/program/"

# Signed by the sample publisher, whose key the program trusts.
"$root/scripts/sign-packages" "$work/catalogue" --sample >/dev/null 2>&1 || exit 1
start_service() {  # start_service OUTFILE [FAULT]
  "$native/quillary-service" --catalogue "$work/catalogue" --listen 127.0.0.1:0 --quiet ${2:+--fault "$2"} > "$1" &
  pids+=($!)
  for _ in $(seq 100); do grep -q listening "$1" && break; sleep 0.1; done
}
address() { sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$1" | head -n 1; }
start_service "$work/slow.out" rate:300000
slow=$(address "$work/slow.out")
cli() { (cd "$work/program" && "$wine_run" quillary-cli.exe "$@"); }
downloads=$(windows_path "$work/downloads")

# --- download, pause, resume ----------------------------------------------
cli download "${slow}packages/$package" --size "$size" --dir "$downloads" > "$work/first.json" &
first=$!
sleep 3
pkill -INT -f "quillary-cli.exe download" 
wait "$first"
check "Ctrl-C pauses the download (exit 3)" test "$?" = 3
state() { python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print(d['$2'])" "$1"; }
check "... in state paused" test "$(state "$work/first.json" state)" = paused
written=$(state "$work/first.json" written)
check "... with part of the file kept ($written of $size bytes)" test "$written" -gt 0 -a "$written" -lt "$size"

# The same link finds its partial file again (another link, even of the same
# file name, is another package).
cli download "${slow}packages/$package" --size "$size" --dir "$downloads" > "$work/second.json"
check "a second run resumes and completes (exit 0)" test "$?" = 0
check "... with a byte range (206)" test "$(state "$work/second.json" http_status)" = 206
final=$(state "$work/second.json" final_path)
final_unix=$("$wine_run" winepath -u "$final" 2>/dev/null)
check "... and the package arrives intact" cmp -s "$final_unix" "$work/catalogue/$package"

# --- install ---------------------------------------------------------------
cli install "$final" --inf 'Win7\x64\nvklan61.inf' --link "${slow}packages/$package" > "$work/install.json"
check "install exits 0" test "$?" = 0
for _ in $(seq 100); do [ -s "$work/program/dpinst-calls.txt" ] && break; sleep 0.1; done
extraction=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['extraction_folder'])" "$work/install.json")
call=$(tr -d '\r' < "$work/program/dpinst-calls.txt")
check "the 64-bit driver package installer is started" grep -q '^DPInst64.exe|' <<<"$call"
check "... with /SH /PATH on the folder of the named INF" grep -qF "/SH /PATH \"$extraction\\Win7\\x64\"" <<<"$call"
check "the package's files are extracted" test -f "$("$wine_run" winepath -u "$extraction" 2>/dev/null)/Win7/x64/nvklan61.inf"
check "setup.dat records the link" grep -qF "${slow}packages/$package" "$work/program/setup.dat"

# --- the offer's SHA-256 -------------------------------------------------------
start_service "$work/normal.out"
normal=$(address "$work/normal.out")
digest=$(sha256sum "$work/catalogue/$package" | cut -d' ' -f1)
other=$(echo other | sha256sum | cut -d' ' -f1)
checked=$(windows_path "$work/checked")
cli download "${normal}packages/$package" --size "$size" --sha256 "$other" --dir "$checked" > "$work/wrong.json" \
  2> "$work/wrong.err"
# The publisher's signature (fetched from beside the package) names the
# package's own digest: an offer naming another is refused before a byte.
check "an offer whose SHA-256 is not the signed one: exit 6" test "$?" = 6
check "... saying so" grep -q "SHA-256" "$work/wrong.err"
check "... and no file is left to install" test -z "$(ls -A "$work/checked")"
cli download "${normal}packages/$package" --size "$size" --sha256 "$digest" --dir "$checked" > "$work/right.json"
check "the right SHA-256: complete (exit 0)" test "$?" = 0

# A download that is no archive: opened as itself, when it is a program
# only once its signature is trusted. The stand-in installer, signed here by
# a publisher whose root the prefix trusts (Wine would not ask for that;
# Windows does).
make_authenticode_samples "$standins/DPInst32.exe" "$work/signing" || { echo "cannot sign the samples"; exit 1; }
"$wine_run" "$windows/authenticode_check.exe" --store Root "$(windows_path "$work/signing/publisher.der")" || exit 1
cp "$work/signing/signed.exe" "$work/downloads/vendor-setup.exe"
sign_package "$work/downloads/vendor-setup.exe"
rm -f "$work/program/dpinst-calls.txt"
cli install "$downloads\\vendor-setup.exe" > "$work/install2.json"
for _ in $(seq 100); do [ -s "$work/downloads/dpinst-calls.txt" ] && break; sleep 0.1; done
check "a package that is no archive is started itself" grep -q '^vendor-setup.exe|' "$work/downloads/dpinst-calls.txt"

# --- what a package may not do ----------------------------------------------
dpinst_calls() { tr -d '\r' 2>/dev/null < "$work/program/dpinst-calls.txt"; }
wait_for_call() { for _ in $(seq 50); do [ -s "$work/program/dpinst-calls.txt" ] && break; sleep 0.1; done; }
make_zip() {  # make_zip ZIP NAME=TEXT...
  python3 - "$@" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for entry in sys.argv[2:]:
        name, text = entry.split("=", 1)
        info = zipfile.ZipInfo("x")
        info.filename = name  # as given, without zipfile's cleaning
        z.writestr(info, text)
PY
  sign_package "$1"
}

# A newer package under the same file name: the installer sees only its files.
make_zip "$work/downloads/update.zip" 'drv/a.inf=first' 'drv/only-first.inf=old'
cli install "$downloads\\update.zip" --inf 'drv\a.inf' > /dev/null
make_zip "$work/downloads/update.zip" 'drv/a.inf=second'
rm -f "$work/program/dpinst-calls.txt"
cli install "$downloads\\update.zip" --inf 'drv\a.inf' > /dev/null
check "a newer package is installed from its own files" test "$(cat "$work/downloads/update/drv/a.inf")" = second
check "... and nothing of the earlier one stays" test ! -e "$work/downloads/update/drv/only-first.inf"

# An entry Windows cannot write ('?' in its name): nothing is started.
make_zip "$work/downloads/broken.zip" 'drv/a.inf=inf' 'drv/what?.sys=driver'
rm -f "$work/program/dpinst-calls.txt"
cli install "$downloads\\broken.zip" --inf 'drv\a.inf' > /dev/null 2> "$work/broken.err"
check "a package with an entry that cannot be written fails the install (exit 1)" test "$?" = 1
check "... saying it is damaged" grep -q damaged "$work/broken.err"
sleep 1
check "... and starts nothing" test ! -s "$work/program/dpinst-calls.txt"
cli unzip "$downloads\\broken.zip" "$downloads\\broken-out" > /dev/null 2>&1
check "unzip of that package exits 1" test "$?" = 1

# INF paths from the network that climb out of the package.
make_zip "$work/downloads/climb.zip" 'drv/a.inf=inf'
mkdir -p "$work/evil" && echo inf > "$work/evil/x.inf"
rm -f "$work/program/dpinst-calls.txt"
cli install "$downloads\\climb.zip" --inf '..\..\evil\x.inf' --inf "$(windows_path "$work/evil/x.inf")" \
  --inf 'drv\a.inf' > /dev/null
wait_for_call
check "INF paths outside the package never point the installer there" \
  grep -qF "/SH /PATH \"$downloads\\climb\\drv\"" <<<"$(dpinst_calls)"

# --- only what an extraction made is ever replaced ---------------------------
# A folder the user unpacked the package into (Explorer's "Extract all").
make_zip "$work/downloads/foo.zip" 'drv/a.inf=inf'
mkdir -p "$work/downloads/foo" && echo mine > "$work/downloads/foo/mine.txt"
rm -f "$work/program/dpinst-calls.txt"
cli install "$downloads\\foo.zip" --inf 'drv\a.inf' > /dev/null
check "a folder of the user's where the package would be extracted stays as it is" \
  test "$(ls -A "$work/downloads/foo")" = mine.txt
check "... and the package is extracted beside it" test -f "$work/downloads/foo (2)/drv/a.inf"
wait_for_call
check "... where the installer starts" grep -qF "/SH /PATH \"$downloads\\foo (2)\\drv\"" <<<"$(dpinst_calls)"
# A package whose name has no extension: its folder's name is its own.
make_zip "$work/downloads/bare" 'drv/a.inf=inf'
for _ in 1 2; do cli install "$downloads\\bare" --inf 'drv\a.inf' > /dev/null; done
check "a package named without extension is still there after two installations" \
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).testzip()' "$work/downloads/bare"
check "... extracted beside itself" test -f "$work/downloads/bare (2)/drv/a.inf"

# --- the link is recorded for an installation that started ------------------
rm -f "$work/program/setup.dat"
cli install "$downloads\\broken.zip" --inf 'drv\a.inf' --link http://h/broken.zip > /dev/null 2>&1
check "a damaged package's link is not recorded" bash -c "! grep -qs broken '$work/program/setup.dat'"
cli install "$downloads\\foo.zip" --inf 'drv\a.inf' --link http://h/foo.zip > "$work/foo.json"
check "the link of a package whose installer started is" grep -qF http://h/foo.zip "$work/program/setup.dat"
check "... and the report says so" grep -q '"link_recorded": *true' "$work/foo.json"

# --- entry names marked UTF-8 ---------------------------------------------------
# 7-Zip marks names beyond ASCII as UTF-8 (flag bit 11), as Windows' own
# compressed folders do; the update service names the INF by that name.
mkdir -p "$work/utf8/Gerät/x64" && echo inf > "$work/utf8/Gerät/x64/gerät.inf"
(cd "$work/utf8" && 7z a -tzip -mcu=on "$work/downloads/umlaut.zip" Gerät > /dev/null)
sign_package "$work/downloads/umlaut.zip"
cli unzip "$downloads\\umlaut.zip" "$downloads\\umlaut-out" > /dev/null
check "a name marked UTF-8 is extracted under its own name" test -f "$work/downloads/umlaut-out/Gerät/x64/gerät.inf"
rm -f "$work/program/dpinst-calls.txt"
cli install "$downloads\\umlaut.zip" --inf 'Gerät\x64\gerät.inf' > /dev/null
wait_for_call
check "... and the installer starts on the INF folder the service names" \
  grep -qF "/SH /PATH \"$downloads\\umlaut\\Gerät\\x64\"" <<<"$(dpinst_calls)"

# --- setup programs and their signatures ---------------------------------------
field() {  # field JSON_FILE PYTHON-EXPRESSION...: values of the install JSON, separated by blanks
  python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"
}
refused_as() {  # refused_as JSON_FILE VERDICT: the JSON of a program refused with that verdict
  [ "$(field "$1" "d['result'], d['setup_program_refused'], d['setup_program_started'], d['package_opened'], d['installation_started'], d['setup_program_trust']['verdict']")" = "-8 True False False False $2" ]
}
setup_zip() {  # setup_zip ZIP PROGRAM: a package of nothing but PROGRAM as setup.exe, signed as published
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").write(sys.argv[2], "setup.exe")' "$1" "$2"
  sign_package "$1"
}
# The test build, with the environment's verdict (none: WinVerifyTrust).
cli_test() { (cd "$work/program" && "$wine_run" quillary-cli-test.exe "$@"); }
# Whether the stand-in, as setup.exe of the package's extraction, ran.
started_in() { grep -qs '^setup.exe|' "$work/downloads/$1/dpinst-calls.txt"; }
wait_until_started() { for _ in $(seq 100); do started_in "$1" && return 0; sleep 0.1; done; return 1; }
rm -f "$work/program/setup.dat" "$work/downloads/dpinst-calls.txt"

# The shipped command line, WinVerifyTrust as it is: Wine tells an unsigned
# program from a signed one, and a signed one changed after signing.
# Each signed by the catalogue's publisher (minisign), so that it is its
# Authenticode signature that is checked.
cp "$work/signing/unsigned.exe" "$work/downloads/unsigned-setup.exe"
sign_package "$work/downloads/unsigned-setup.exe"
cli install "$downloads\\unsigned-setup.exe" --link http://h/unsigned-setup.exe > "$work/bare.json" 2> "$work/bare.err"
check "an unsigned program downloaded as it is: exit 9" test "$?" = 9
check "... saying why" grep -q "not started, as Windows does not trust its signature (not signed" "$work/bare.err"
check "... refused as unsigned" refused_as "$work/bare.json" unsigned
check "... with TRUST_E_NOSIGNATURE" test "$(field "$work/bare.json" "d['setup_program_trust']['status']")" = 2148204800
printf '@echo off\r\n' > "$work/downloads/update.cmd"
sign_package "$work/downloads/update.cmd"
cli install "$downloads\\update.cmd" > "$work/cmd.json" 2>/dev/null
check "a batch file downloaded as it is: exit 9" test "$?" = 9
check "... refused as unsigned: it cannot carry a signature" refused_as "$work/cmd.json" unsigned

setup_zip "$work/downloads/unsigned-pkg.zip" "$work/signing/unsigned.exe"
cli_test install "$downloads\\unsigned-pkg.zip" --link http://h/unsigned-pkg.zip > "$work/unsigned.json" 2>/dev/null
check "a package whose only program is an unsigned setup.exe: exit 9" test "$?" = 9
check "... refused as unsigned" refused_as "$work/unsigned.json" unsigned
check "... once extracted" test -f "$work/downloads/unsigned-pkg/setup.exe"
setup_zip "$work/downloads/tampered-pkg.zip" "$work/signing/tampered.exe"
cli_test install "$downloads\\tampered-pkg.zip" > "$work/tampered.json" 2>/dev/null
check "a setup.exe changed after signing: exit 9" test "$?" = 9
check "... refused as tampered (TRUST_E_BAD_DIGEST)" refused_as "$work/tampered.json" tampered
setup_zip "$work/downloads/signed-pkg.zip" "$work/signing/signed.exe"
cli_test install "$downloads\\signed-pkg.zip" --link http://h/signed-pkg.zip > "$work/signed.json"
check "a signed setup.exe whose publisher is trusted: exit 0" test "$?" = 0
check "... is started" wait_until_started signed-pkg
check "... after its check trusted it" \
  test "$(field "$work/signed.json" "d['setup_program_trust']['verdict'], d['setup_program_started']")" = "trusted True"
check "... and its link is recorded" grep -qF http://h/signed-pkg.zip "$work/program/setup.dat"
sleep 1
check "the unsigned and the tampered setup programs were never started" \
  bash -c "! grep -qs '^setup.exe|' '$work/downloads/unsigned-pkg/dpinst-calls.txt' '$work/downloads/tampered-pkg/dpinst-calls.txt'"
check "... nor the unsigned download" bash -c "! grep -qs '^unsigned-setup.exe|' '$work/downloads/dpinst-calls.txt'"
check "... and no link of theirs recorded" bash -c "! grep -qE 'unsigned-setup|unsigned-pkg' '$work/program/setup.dat'"

# Verdicts Wine never gives (it does not check the chain), through the seam.
rm -f "$work/downloads/signed-pkg/dpinst-calls.txt"
QUILLARY_TEST_AUTHENTICODE=untrusted cli_test install "$downloads\\signed-pkg.zip" > "$work/seam.json" 2>/dev/null
check "the same signed setup.exe, its publisher not trusted (the seam says untrusted): exit 9" test "$?" = 9
check "... refused as untrusted" refused_as "$work/seam.json" untrusted
(cd "$work/program" && QUILLARY_TEST_RIGHTS=can_elevate QUILLARY_TEST_ELEVATION=accept QUILLARY_TEST_AUTHENTICODE=revoked \
  "$wine_run" quillary-cli-test.exe install "$downloads\\signed-pkg.zip") > "$work/companion.json" 2>/dev/null
check "through the elevated companion, a revoked publisher: exit 9" test "$?" = 9
check "... the companion refused it, and its answer says why" refused_as "$work/companion.json" revoked
check "... as the companion's" test "$(field "$work/companion.json" "d['elevated_companion']")" = True
sleep 1
check "... and nobody started it" test ! -e "$work/downloads/signed-pkg/dpinst-calls.txt"

# --- through UAC --------------------------------------------------------------
# The command line as a filtered administrator or a standard user runs it:
# the installation goes to the elevated companion (here the test build
# itself, which Wine runs with every right), after one prompt.
uac() {  # uac RIGHTS ANSWER COMMAND...: quillary-cli-test.exe with that token and answer
  local rights=$1 answer=$2
  shift 2
  (cd "$work/program" && QUILLARY_TEST_RIGHTS=$rights QUILLARY_TEST_ELEVATION=$answer \
    QUILLARY_TEST_ELEVATION_LOG="$work/prompts.log" "$wine_run" quillary-cli-test.exe "$@")
}
make_zip "$work/downloads/uac.zip" 'drv/a.inf=inf'
rm -f "$work/program/setup.dat" "$work/program/dpinst-calls.txt" "$work/prompts.log"
before=$(ls -A "$work/downloads" | sort)
uac can_elevate decline install "$downloads\\uac.zip" --inf 'drv\a.inf' --link http://h/uac.zip \
  > "$work/declined.json" 2> "$work/declined.err"
check "a declined prompt: exit 5" test "$?" = 5
check "... saying so" grep -q declined "$work/declined.err"
check "... after one prompt for the companion" test "$(grep -c '^prompt|' "$work/prompts.log")" = 1
check "... with nothing extracted" test "$(ls -A "$work/downloads" | sort)" = "$before"
check "... nothing recorded in setup.dat" test ! -e "$work/program/setup.dat"
check "... and nothing started" test ! -e "$work/program/dpinst-calls.txt"

rm -f "$work/prompts.log"
uac can_elevate accept install "$downloads\\uac.zip" --inf 'drv\a.inf' --link http://h/uac.zip > "$work/uac.json"
check "an accepted prompt installs through the companion (exit 0)" test "$?" = 0
check "... which says so" grep -q '"elevated_companion": *true' "$work/uac.json"
check "... after one prompt" test "$(grep -c '^prompt|' "$work/prompts.log")" = 1
check "... handing over exactly the chosen package with its SHA-256" python3 - "$work/prompts.log" \
  "$downloads\\uac.zip" "$(sha256sum "$work/downloads/uac.zip" | cut -d' ' -f1)" <<'PY'
import json, sys
log = open(sys.argv[1], encoding="utf-8").read()
batch = json.loads(log[log.index("\n") + 1:])
entries = batch["entries"]
assert [(e["path"], e["sha256"]) for e in entries] == [(sys.argv[2], sys.argv[3])], entries
PY
wait_for_call
check "... the companion starts the installer on the package's INF folder" \
  grep -qF "/SH /PATH \"$downloads\\uac\\drv\"" <<<"$(dpinst_calls)"
check "... and records the link in the program's setup.dat" grep -qF http://h/uac.zip "$work/program/setup.dat"

rm -f "$work/prompts.log"
uac administrator accept install "$downloads\\uac.zip" --inf 'drv\a.inf' > "$work/admin.json"
check "an elevated start installs itself, without a prompt" test "$?" = 0 -a ! -e "$work/prompts.log"
check "... and says so" grep -q '"elevated_companion": *false' "$work/admin.json"

uac cannot_elevate accept install "$downloads\\uac.zip" --inf 'drv\a.inf' > /dev/null 2> "$work/cannot.err"
check "a user who cannot get administrator rights: exit 1" test "$?" = 1
check "... saying so" grep -q "administrator rights" "$work/cannot.err"

report_checks wine_install_test
