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

# What Windows refuses and Wine does not: certificates of an unknown CA, of
# the wrong usage, long expired, and one in the Disallowed store.
sign_with() {  # sign_with NAME CERTS KEY: the unsigned program signed so, as NAME.exe
  osslsigncode sign -h sha256 -certs "$2" -key "$3" -in "$work/unsigned.exe" -out "$work/$1.exe" >/dev/null
}
(
  cd "$work" || exit 1
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Quillary Test CA" -keyout ca.key -out ca.pem \
    -addext "basicConstraints=critical,CA:true" -addext "keyUsage=keyCertSign" 2>/dev/null
  printf 'keyUsage=digitalSignature\nextendedKeyUsage=codeSigning\n' > leaf.ext
  openssl req -newkey rsa:2048 -nodes -subj "/CN=Quillary Test Leaf" -keyout leaf.key -out leaf.csr 2>/dev/null
  openssl x509 -req -in leaf.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 365 -extfile leaf.ext \
    -out leaf.pem 2>/dev/null
  cat leaf.pem ca.pem > chain.pem
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Quillary Test Server" -keyout server.key \
    -out server.pem -addext "extendedKeyUsage=serverAuth" 2>/dev/null
  # Valid in 2000 only: "openssl ca" takes the dates.
  mkdir -p ca && : > ca/index.txt && echo 01 > ca/serial
  printf '[ca]\ndefault_ca=d\n[d]\ndatabase=ca/index.txt\nserial=ca/serial\nnew_certs_dir=ca\ndefault_md=sha256\npolicy=p\nx509_extensions=x\n[p]\ncommonName=supplied\n[x]\nkeyUsage=digitalSignature\nextendedKeyUsage=codeSigning\n' > ca.cnf
  openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -startdate 20000101000000Z -enddate 20010101000000Z \
    -in leaf.csr -out expired.pem 2>/dev/null
  cat expired.pem ca.pem > expired-chain.pem
) || { echo "cannot make the certificates of the notes"; exit 1; }
sign_with unknown-ca "$work/chain.pem" "$work/leaf.key"
sign_with server-usage "$work/server.pem" "$work/server.key"
sign_with expired "$work/expired-chain.pem" "$work/leaf.key"
openssl x509 -in "$work/other.pem" -outform der -out "$work/other.der"
echo "note: signed by a second self-signed publisher no store trusts: Wine says $(verdict other.exe)"
echo "note: signed by a leaf of a CA no store trusts: Wine says $(verdict unknown-ca.exe)"
echo "note: signed with a certificate for servers, not code: Wine says $(verdict server-usage.exe)"
echo "note: signed with a certificate that expired in 2001: Wine says $(verdict expired.exe)"
echo "note: signed by a publisher in the Disallowed store: Wine says $(verdict --store Disallowed other.der other.exe)"

report_checks wine_authenticode_test
