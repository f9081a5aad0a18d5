#!/usr/bin/env bash
# The program's Authenticode check (WinVerifyTrust) under Wine on programs
# signed here with osslsigncode: what Wine tells apart is checked, and what
# it lets through is printed as notes. Wine's wintrust checks that a
# signature is there and that the file still gives the digest it signed,
# but not the certificate chain: a root no store trusts, an expired or a
# distrusted certificate all pass as trusted. The verdicts it cannot give
# are tested through the seam (tests/download/setup_program_trust_test.cpp,
# QUILLARY_TEST_AUTHENTICODE in the Wine install test).
#
# usage: wine_authenticode_test.sh WINDOWS_BIN STANDIN_DIR
set -uo pipefail
windows=$(cd "$1" && pwd)
standins=$(cd "$2" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run="$root/scripts/wine-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../tools/checks.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../tools/authenticode_samples.sh"

# The stand-in installer is a small program of the build (mingw-w64).
# By hand, Wine 8.0 also says "trusted 0x00000000" for a leaf of a CA no
# store trusts, a certificate for servers rather than code, one that
# expired in 2001, and one in the machine's Disallowed store.
make_authenticode_samples "$standins/DPInst32.exe" "$work" || { echo "cannot make the signed samples"; exit 1; }
printf '@echo off\r\necho a batch file carries no signature\r\n' > "$work/install.cmd"
verdict() {  # verdict [--store NAME CERT] FILE: "VERDICT 0xSTATUS" of our check
  (cd "$work" && "$wine_run" "$windows/authenticode_check.exe" "$@" | tr -d '\r')
}

# Before the publisher's root is in any store: a real Windows answers
# CERT_E_UNTRUSTEDROOT (untrusted 0x800b0109) here.
echo "note: a self-signed publisher no store trusts: Wine says $(verdict signed.exe)"

check "an unsigned program is unsigned (TRUST_E_NOSIGNATURE)" test "$(verdict unsigned.exe)" = "unsigned 0x800b0100"
check "a signed program whose root is trusted is trusted" \
  test "$(verdict --store Root publisher.der signed.exe)" = "trusted 0x00000000"
check "a byte of its code changed after signing: tampered (TRUST_E_BAD_DIGEST)" \
  test "$(verdict tampered.exe)" = "tampered 0x80096010"
check "a byte of its signature changed: tampered (TRUST_E_CERT_SIGNATURE)" \
  test "$(verdict badsig.exe)" = "tampered 0x80096004"
check "a batch file cannot carry a signature: unsigned (TRUST_E_SUBJECT_FORM_UNKNOWN)" \
  test "$(verdict install.cmd)" = "unsigned 0x800b0003"
check "a file that is not there cannot be checked" test "$(verdict missing.exe)" = "unchecked 0x00000002"

report_checks wine_authenticode_test
