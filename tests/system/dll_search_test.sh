#!/usr/bin/env bash
# Where the programs load their DLLs from: a DLL planted beside them under
# the name of a system DLL they load with its first call (SetupAPI) must not
# be the one loaded. Wine prefers its own DLLs; WINEDLLOVERRIDES makes it
# take a DLL file found on the search path first, as Windows does for any
# DLL that is not one of its known DLLs. A control first shows that a plain
# load by name does take the planted file.
#
# usage: dll_search_test.sh WINDOWS_BIN
set -uo pipefail
bin=$(cd "$1" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/tests/tools/checks.sh"
source "$root/tests/tools/wine_helpers.sh"

cp "$bin/quillary-cli.exe" "$bin/load_by_name.exe" "$bin/planted/setupapi.dll" "$work/"
export WINEDLLOVERRIDES="setupapi=n,b"
QUILLARY_TEST_PLANTED_MARK=$(windows_path "$work/loaded.txt")
export QUILLARY_TEST_PLANTED_MARK
planted_loaded() { grep -qi 'setupapi.dll' "$work/loaded.txt" 2>/dev/null; }

(cd "$work" && "$wine_run" "$work/load_by_name.exe" setupapi.dll) >/dev/null 2>&1
check "control: a load by name takes the planted setupapi.dll from the program's folder" planted_loaded
rm -f "$work/loaded.txt"

# The scan calls SetupAPI, which quillary-cli loads with its first call.
(cd "$work" && "$wine_run" "$work/quillary-cli.exe" scan) > "$work/scan.json" 2>"$work/scan.err"
status=$?
check "quillary-cli scan succeeds (exit $status)" test "$status" = 0
check "... with the system's SetupAPI, not the planted copy" bash -c "! grep -qi setupapi '$work/loaded.txt' 2>/dev/null"
check "... having listed devices" grep -q '"devices"' "$work/scan.json"

report_checks dll_search_test
