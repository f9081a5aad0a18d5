#!/usr/bin/env bash
# quillary-cli end to end: documented exit codes, one-line errors, and JSON
# with every field the commands promise.
# usage: cli_test.sh COMMAND... (the CLI, or scripts/wine-run and the .exe)
set -uo pipefail
cli=("$@")
source "$(dirname "${BASH_SOURCE[0]}")/../tools/checks.sh"

out=$("${cli[@]}" --help); rc=$?
check "--help exits 0" test "$rc" = 0
check "--help names the commands" grep -q "sysinfo" <<<"$out"

err=$("${cli[@]}" bogus 2>&1 >/dev/null); rc=$?
check "an unknown command exits 2" test "$rc" = 2
check "... with one line on stderr" test "$(wc -l <<<"$err")" = 1

"${cli[@]}" >/dev/null 2>&1; rc=$?
check "no command exits 2" test "$rc" = 2
"${cli[@]}" sysinfo extra >/dev/null 2>&1; rc=$?
check "an unexpected argument exits 2" test "$rc" = 2

json_has() {  # json_has JSON PYTHON-EXPRESSION
  python3 -c "import json,sys; d=json.loads(sys.argv[1]); sys.exit(0 if ($2) else 1)" "$1"
}

out=$("${cli[@]}" sysinfo); rc=$?
check "sysinfo exits 0" test "$rc" = 0
check "sysinfo has the snapshot fields" json_has "$out" \
  "all(k in d for k in ['os_type','os_code_name','os_version_code','is_64bit','oem_code_page','module_path','working_folder'])"
check "sysinfo has the seven summary fields" json_has "$out" \
  "sorted(d['summary']) == sorted(['model','os_name','processor','memory','disk','display','sound'])"
check "the working folder is the program's folder" json_has "$out" \
  "d['module_path'].startswith(d['working_folder']) and d['working_folder'][-1] in '/\\\\'"
check "the code name matches the type" json_has "$out" \
  "(d['os_type'], d['os_code_name']) in [(0, 'NOT_SUPPORTED'), (8, 'WIN764' if d['is_64bit'] else 'WIN7')]"

out=$("${cli[@]}" settings); rc=$?
check "settings exits 0" test "$rc" = 0
check "settings has the eight values and the machine policy" json_has "$out" \
  "sorted(d) == sorted(['download_path','backup_path','language','install_date','autorun','scan_offline','close_to_tray','scheduled_scan','policy'])"
# No test sets a policy here (wine_policy_test.sh does, and takes it away).
check "... which, unset, leaves the three built-in servers" json_has "$out" \
  "(d['policy']['update_servers'], d['policy']['source'], d['policy']['ignored'], d['policy']['refused_servers']) == (['http://127.0.0.1:18081/', 'http://127.0.0.1:18082/', 'http://127.0.0.1:18083/'], 'built-in', [], [])"
check "... and the built-in key of the sample catalogue, whose signatures are required" json_has "$out" \
  "d['policy']['signatures'] == {'require_signed_packages': True, 'require_signed_source': 'a key is trusted', 'trusted_keys': [{'id': '0B0F503A4439EC38', 'source': 'built-in'}], 'revoked_keys': []} and d['policy']['require_https'] is False"
check "the install date is a date" json_has "$out" \
  "len(d['install_date']) == 10 and d['install_date'][4] == '-'"

# A package whose only program is its setup program: natively nothing can
# check a signature, so nothing starts (under Wine, wine_install_test.sh
# installs such packages with WinVerifyTrust).
if [ ${#cli[@]} = 1 ]; then
  work=$(mktemp -d)
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").writestr("setup.exe", "MZ")' "$work/setup-only.zip"
  # Signed by the sample publisher: it is the setup program that is refused.
  source "$(dirname "${BASH_SOURCE[0]}")/../tools/sample_signature.sh"
  sign_package "$work/setup-only.zip"
  out=$("${cli[@]}" install "$work/setup-only.zip" 2> "$work/err"); rc=$?
  check "install of a setup program that cannot be checked exits 9" test "$rc" = 9
  check "... saying why on one line" test "$(grep -c "not started, as Windows does not trust" "$work/err")" = 1
  check "... and its JSON says it was refused, unchecked, after extracting" json_has "$out" \
    "d['setup_program_refused'] and not d['setup_program_started'] and d['extracted'] and d['result'] == -8 and d['setup_program_trust']['verdict'] == 'unchecked' and d['launched'] == []"
  rm -rf "$work"
fi

report_checks cli_test
