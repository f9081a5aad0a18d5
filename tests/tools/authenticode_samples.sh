# Programs for the Authenticode tests, made from one Windows program of the
# build with Debian's openssl and osslsigncode: a self-signed code-signing
# certificate (publisher.der, for a root store), and beside it
#   unsigned.exe   the program as built
#   signed.exe     a copy signed with that certificate (SHA-256)
#   tampered.exe   the signed copy with one byte of its code changed after signing
#   badsig.exe     the signed copy with one byte of the signature's value changed
# Sourced; usage: make_authenticode_samples PROGRAM DIR (false when a tool fails).
make_authenticode_samples() {
  local program=$1 dir=$2
  mkdir -p "$dir" || return 1
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=Quillary Test Publisher" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$dir/publisher.key" -out "$dir/publisher.pem" 2>/dev/null || return 1
  openssl x509 -in "$dir/publisher.pem" -outform der -out "$dir/publisher.der" || return 1
  cp "$program" "$dir/unsigned.exe" || return 1
  osslsigncode sign -h sha256 -certs "$dir/publisher.pem" -key "$dir/publisher.key" -n "Quillary test program" \
    -in "$dir/unsigned.exe" -out "$dir/signed.exe" >/dev/null || return 1
  osslsigncode extract-signature -in "$dir/signed.exe" -out "$dir/signature.der" >/dev/null || return 1
  python3 - "$dir" <<'PY'
import sys
folder = sys.argv[1]
signed = open(folder + "/signed.exe", "rb").read()
signature = open(folder + "/signature.der", "rb").read()
unsigned_size = len(open(folder + "/unsigned.exe", "rb").read())
# A byte in the middle of the program: inside its sections, which the
# signature's digest covers (the header's checksum and the certificate
# table are all it leaves out).
tampered = bytearray(signed)
tampered[unsigned_size // 2] ^= 0xFF
open(folder + "/tampered.exe", "wb").write(tampered)
# The signature value is the last field of the signer's information, the
# last bytes of the PKCS #7 blob (osslsigncode adds no unsigned attributes
# without a time stamp).
at = signed.find(signature)
assert at > 0, "the signature is not in the file"
broken = bytearray(signed)
broken[at + len(signature) - 1] ^= 0x01
open(folder + "/badsig.exe", "wb").write(broken)
PY
}
