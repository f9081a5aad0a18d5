#!/usr/bin/env bash
# Cabinet packages under Wine through quillary-cli.exe, extracted by Windows'
# own cabinet support (SetupIterateCabinetW, in Wine's setupapi over its
# cabinet.dll): a signed cabinet made by gcab (MSZIP, folders) installs
# like a zip package, the stand-in driver package installer started on the
# named INF's folder; a cabinet cut short, one with a changed byte, one
# whose names leave the folder, one of a set, and an unsigned one install
# nothing and leave nothing behind; the format is the one the first bytes
# say, whatever the name.
#
# usage: wine_cab_install_test.sh WINDOWS_BIN STANDIN_DIR
set -uo pipefail
windows=$(cd "$1" && pwd)
standins=$(cd "$2" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
make_cabinet="$root/tests/tools/make_cabinet.py"
work=$(mktemp -d)
export LANG=C.UTF-8
trap 'rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../tools/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/sample_signature.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/wine_helpers.sh"

mkdir -p "$work/program" "$work/downloads" "$work/source/drv/x64"
cp "$windows/quillary-cli.exe" "$standins/DPInst64.exe" "$standins/DPInst32.exe" "$work/program/"
cli() { (cd "$work/program" && "$wine_run" quillary-cli.exe "$@"); }
downloads=$(windows_path "$work/downloads")
calls="$work/program/dpinst-calls.txt"
wait_for_call() { wait_until 10 test -s "$calls"; }
started() { tr -d '\r' 2>/dev/null < "$calls"; }

# The package: an INF, a driver of several MSZIP blocks, a catalog file.
printf '[Version]\r\nSignature="$Windows NT$"\r\nDriverVer=01/15/2021,1.2.3.4\r\n' > "$work/source/drv/x64/pad.inf"
head -c 300000 /dev/urandom > "$work/source/drv/x64/pad.sys"
printf 'catalog' > "$work/source/drv/x64/pad.cat"
printf 'read me' > "$work/source/readme.txt"
(cd "$work/source" && gcab -c -z "$work/downloads/pad_1.2.3.4.cab" drv/x64/pad.inf drv/x64/pad.sys drv/x64/pad.cat \
  readme.txt) || exit 1
sign_package "$work/downloads/pad_1.2.3.4.cab"
same_files() {  # same_files FOLDER: the package's files, byte for byte
  for f in drv/x64/pad.inf drv/x64/pad.sys drv/x64/pad.cat readme.txt; do cmp -s "$work/source/$f" "$1/$f" || return 1; done
}

# --- a cabinet installs as a zip package does ---------------------------------
cli unzip "$downloads\\pad_1.2.3.4.cab" "$downloads\\unpacked" > "$work/unzip.json"
check "unzip of a cabinet exits 0" test "$?" = 0
check "... with all four files" grep -q '"extracted": *4' "$work/unzip.json"
check "... each byte for byte" same_files "$work/downloads/unpacked"

cli install "$downloads\\pad_1.2.3.4.cab" --inf 'drv\x64\pad.inf' --offered 'drv\x64\pad.inf' 1.2.3.4 2021-01-15 \
  > "$work/install.json"
check "install of a signed cabinet exits 0" test "$?" = 0
wait_for_call
check "the driver package installer starts on the INF's folder" \
  grep -qF "/SH /PATH \"$downloads\\pad_1.2.3.4\\drv\\x64\"" <<<"$(started)"
check "... of the package extracted whole" same_files "$work/downloads/pad_1.2.3.4"
check "... after its signature was checked" grep -q '"signature": *"valid"' "$work/install.json"

# --- what a cabinet may not do ----------------------------------------------------
refused() {  # refused FILE WHY: installing it starts nothing and leaves no folder
  local file=$1 folder
  folder="$work/downloads/$(basename "$file" | sed 's/\.[^.]*$//')"
  rm -f "$calls"
  cli install "$downloads\\$(basename "$file")" --inf 'drv\x64\pad.inf' > /dev/null 2> "$work/refused.err"
  local code=$?
  check "$2: install fails (exit $code)" test "$code" != 0
  sleep 0.5
  check "... and starts nothing" test ! -s "$calls"
  check "... and leaves no extraction" test ! -e "$folder"
}
size=$(stat -c %s "$work/downloads/pad_1.2.3.4.cab")
head -c $((size / 2)) "$work/downloads/pad_1.2.3.4.cab" > "$work/downloads/cut.cab"
sign_package "$work/downloads/cut.cab"
refused "$work/downloads/cut.cab" "a cabinet cut short (signed as it is)"
check "... saying it is damaged" grep -q damaged "$work/refused.err"

cp "$work/downloads/pad_1.2.3.4.cab" "$work/downloads/changed.cab"
printf 'X' | dd of="$work/downloads/changed.cab" bs=1 seek=$((size - 20000)) conv=notrunc status=none
sign_package "$work/downloads/changed.cab"
refused "$work/downloads/changed.cab" "a cabinet with a changed byte in its data (its block checksum)"
check "... saying it is damaged" grep -q damaged "$work/refused.err"

python3 "$make_cabinet" "$work/downloads/climb.cab" 'drv\x64\pad.inf=inf' '..\..\evil.inf=evil' 'C:\evil2.inf=evil' \
  'drv\nul.inf=device'
sign_package "$work/downloads/climb.cab"
refused "$work/downloads/climb.cab" "a cabinet whose names leave the folder"
check "... nothing is written outside the package's folder" \
  test -z "$(find "$work" -name 'evil*.inf' -o -name 'nul.inf' | head -n 1)"
check "... nor at the drive's root" test ! -e "$("$wine_run" winepath -u 'C:\evil2.inf' 2>/dev/null)"

python3 "$make_cabinet" "$work/downloads/part.cab" --next 'drv\x64\pad.inf=inf'
sign_package "$work/downloads/part.cab"
refused "$work/downloads/part.cab" "one cabinet of a set"

cp "$work/downloads/pad_1.2.3.4.cab" "$work/downloads/unsigned.cab"
refused "$work/downloads/unsigned.cab" "an unsigned cabinet while the publisher's key is trusted"
check "... refused for its signature" grep -qi "sign" "$work/refused.err"

# --- the format is the one the first bytes say ------------------------------------
cp "$work/downloads/pad_1.2.3.4.cab" "$work/downloads/named_zip.zip"
sign_package "$work/downloads/named_zip.zip"
rm -f "$calls"
cli install "$downloads\\named_zip.zip" --inf 'drv\x64\pad.inf' > /dev/null
check "a cabinet named .zip installs (exit $?)" same_files "$work/downloads/named_zip"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").writestr("drv/x64/pad.inf", "inf")' \
  "$work/downloads/named_cab.cab"
sign_package "$work/downloads/named_cab.cab"
cli install "$downloads\\named_cab.cab" --inf 'drv\x64\pad.inf' > /dev/null
check "a zip archive named .cab installs (exit $?)" test "$(cat "$work/downloads/named_cab/drv/x64/pad.inf")" = inf

report_checks wine_cab_install_test
