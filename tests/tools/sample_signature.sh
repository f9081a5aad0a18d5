# Signing as the sample catalogue's publisher: the program trusts the sample
# key, so a package a test makes and signs here is one the program takes, as
# it takes a real publisher's. Sourced.
sample_signature_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

sign_package() {  # sign_package FILE: FILE.minisig beside it, naming FILE's name and SHA-256
  local name digest
  name=$(basename "$1")
  digest=$(sha256sum "$1" | cut -c1-64)
  rm -f "$1.minisig"
  minisign -S -s "$sample_signature_root/resources/keys/sample-catalogue.key" -m "$1" \
    -t "$(printf 'timestamp:0\tfile:%s\tsha256:%s' "$name" "$digest")" </dev/null >/dev/null 2>&1
}
