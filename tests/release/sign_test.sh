#!/bin/bash
# Signs the build's VeltoInstaller.exe as tools/release.sh does, both ways (a
# throwaway test certificate; a vendor's key given by the environment, with a
# password), and checks what a signature must guarantee. Leaves the signed
# executable and its test CA for the end-to-end run on it.
#   sign_test.sh SIGN_SH VeltoInstaller.exe OUT_DIR
set -uo pipefail
sign=$1 exe=$2 out=$3
mkdir -p "$out"
rm -rf "${out:?}"/*
failures=0
expect() {  # description command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
says() { grep -q -- "$2" "$1"; }
unsigned_back() { osslsigncode remove-signature -in "$1" -out "$out/removed.exe" > /dev/null 2>&1 && cmp -s "$out/removed.exe" "$exe"; }

# Without the vendor's variables: a throwaway certificate, said so.
env -u VORN_SIGN_CERT -u VORN_SIGN_KEY -u VORN_SIGN_PASS_FILE -u VORN_SIGN_CAFILE \
  -u VORN_SIGN_TIMESTAMP_URL "$sign" sign "$exe" "$out/VeltoInstaller.exe" "$out/test-signing" \
  > "$out/test-road.txt" 2>&1
expect "signed with a test certificate" test -s "$out/VeltoInstaller.exe"
cat "$out/test-road.txt"
expect "the script says the certificate is a throwaway" says "$out/test-road.txt" "throwaway TEST"
expect "the signature verifies against the test CA" \
  "$sign" verify "$out/VeltoInstaller.exe" "$out/test-signing/ca.pem"
expect "without its CA the chain is untrusted" \
  bash -c '! "$0" verify "$1" > /dev/null 2>&1' "$sign" "$out/VeltoInstaller.exe"
expect "removing the signature gives the executable back, byte for byte" \
  unsigned_back "$out/VeltoInstaller.exe"

# Any byte of the signed content changed, the PE header's included, breaks it.
size=$(stat -c %s "$exe")
for offset in 2 $((0x80 + 8)) $((size / 2)) $((size - 1)); do
  cp "$out/VeltoInstaller.exe" "$out/tampered.exe"
  byte=$(od -An -tu1 -j "$offset" -N1 "$out/tampered.exe" | tr -d ' ')
  printf "\\$(printf %o $(((byte + 1) % 256)))" \
    | dd of="$out/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
  expect "a byte changed at $offset fails verification" \
    bash -c '! "$0" verify "$1" "$2" > /dev/null 2>&1' "$sign" "$out/tampered.exe" \
    "$out/test-signing/ca.pem"
done
rm -f "$out/tampered.exe" "$out/removed.exe"

# The vendor's road: their certificate and a password-protected key.
vendor=$out/vendor
mkdir -p "$vendor"
echo "vendor password" > "$vendor/pass"
openssl pkey -in "$out/test-signing/sign.key" -aes256 -passout "file:$vendor/pass" \
  -out "$vendor/key.pem" 2> /dev/null
VORN_SIGN_CERT=$out/test-signing/sign.pem VORN_SIGN_KEY=$vendor/key.pem \
  VORN_SIGN_PASS_FILE=$vendor/pass VORN_SIGN_CAFILE=$out/test-signing/ca.pem \
  "$sign" sign "$exe" "$vendor/VeltoInstaller.exe" "$vendor/unused" > "$vendor/road.txt" 2>&1
cat "$vendor/road.txt"
expect "the vendor's key signs" "$sign" verify "$vendor/VeltoInstaller.exe" "$out/test-signing/ca.pem"
expect "no test certificate is made then" test ! -e "$vendor/unused"
expect "and nothing says throwaway" bash -c '! grep -q throwaway "$0"' "$vendor/road.txt"
expect "one of the two variables alone is refused" \
  bash -c '! VORN_SIGN_CERT=$1 "$0" sign "$2" "$3" "$4" > /dev/null 2>&1' "$sign" \
  "$out/test-signing/sign.pem" "$exe" "$vendor/half.exe" "$vendor/unused"
rm -rf "$vendor"

[ "$failures" -eq 0 ]
