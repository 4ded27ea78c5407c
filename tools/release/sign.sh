#!/bin/bash
# Authenticode signatures (SHA-256) through osslsigncode.
#
#   sign.sh sign IN OUT TEST_DIR   signs IN into OUT and verifies OUT
#   sign.sh verify FILE [CAFILE]   checks FILE's signature: the digest of the
#                                  signed content and the signer's chain
#
# The vendor's key comes from the environment:
#   VORN_SIGN_CERT           the signing certificate and its chain (PEM or DER)
#   VORN_SIGN_KEY            its private key (PEM or DER)
#   VORN_SIGN_PASS_FILE      a file holding the key's password (optional)
#   VORN_SIGN_CAFILE         the root(s) the chain leads to (default: the system's bundle)
#   VORN_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service (optional; without it
#                            the signature ends with the certificate's validity)
# Without VORN_SIGN_CERT and VORN_SIGN_KEY, a throwaway CA and code-signing
# certificate are made in TEST_DIR and sign; the script says so. TEST_DIR/ca.pem
# then verifies the chain. Nothing of TEST_DIR belongs in a release.
set -euo pipefail

die() {
  echo "sign.sh: $*" >&2
  exit 1
}

command -v osslsigncode > /dev/null || die "osslsigncode is missing (tools/setup/install-packages.sh)"

# A CA and a code-signing certificate issued by it, valid for 30 days.
make_test_certificate() {  # folder
  local dir=$1
  command -v openssl > /dev/null || die "openssl is missing (tools/setup/install-packages.sh)"
  rm -rf "$dir"
  mkdir -p "$dir"
  (
    cd "$dir"
    openssl req -x509 -newkey rsa:3072 -nodes -days 30 -keyout ca.key -out ca.pem \
      -subj "/O=Corlanth/CN=Velto installer test CA (not for release)" \
      -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign"
    openssl req -newkey rsa:3072 -nodes -keyout sign.key -out sign.csr \
      -subj "/O=Corlanth/CN=Velto installer test signing (not for release)"
    printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
      "extendedKeyUsage=codeSigning" "subjectKeyIdentifier=hash" \
      "authorityKeyIdentifier=keyid" > sign.ext
    openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 16)" \
      -days 30 -extfile sign.ext -out sign.pem
  ) > "$dir/openssl.log" 2>&1 || {
    cat "$dir/openssl.log" >&2
    die "cannot make the test certificate"
  }
}

verify() {  # file [cafile]
  local file=$1 cafile=${2:-} report
  local args=(verify -in "$file")
  [ -n "$cafile" ] && args+=(-CAfile "$cafile")
  if ! report=$(osslsigncode "${args[@]}" 2>&1); then
    printf '%s\n' "$report" | grep -iE 'error|failed|digest' >&2 || true
    die "$file: the signature does not verify"
  fi
  # Both osslsigncode 2.5 and 2.9 print the two digests of the signed content.
  local current calculated
  current=$(printf '%s\n' "$report" | sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' | head -n1)
  calculated=$(printf '%s\n' "$report" | sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p' | head -n1)
  if [ -z "$current" ] || [ "$current" != "$calculated" ]; then
    die "$file: the signed content's digest differs ('$current', calculated '$calculated')"
  fi
  printf '%s\n' "$report" | grep -q '^Message digest algorithm *: *SHA256' \
    || die "$file: not signed with SHA-256"
  local signer
  signer=$(printf '%s\n' "$report" | sed -n 's/^[[:space:]]*Subject: *//p' | head -n1)
  echo "signature verified: SHA-256, digest $current, signer $signer"
}

sign() {  # in out test_dir
  local in=$1 out=$2 test_dir=$3
  local args=(sign -h sha256 -comm)
  if [ -n "${VORN_SIGN_CERT:-}" ] && [ -n "${VORN_SIGN_KEY:-}" ]; then
    [ -f "$VORN_SIGN_CERT" ] || die "VORN_SIGN_CERT: no file $VORN_SIGN_CERT"
    [ -f "$VORN_SIGN_KEY" ] || die "VORN_SIGN_KEY: no file $VORN_SIGN_KEY"
    args+=(-certs "$VORN_SIGN_CERT" -key "$VORN_SIGN_KEY")
    [ -n "${VORN_SIGN_PASS_FILE:-}" ] && args+=(-readpass "$VORN_SIGN_PASS_FILE")
    [ -n "${VORN_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$VORN_SIGN_TIMESTAMP_URL")
    CAFILE=${VORN_SIGN_CAFILE:-}
    echo "signing with the vendor's certificate $VORN_SIGN_CERT"
  elif [ -n "${VORN_SIGN_CERT:-}${VORN_SIGN_KEY:-}" ]; then
    die "give both VORN_SIGN_CERT and VORN_SIGN_KEY, or neither for a test certificate"
  else
    make_test_certificate "$test_dir"
    args+=(-certs "$test_dir/sign.pem" -key "$test_dir/sign.key")
    CAFILE=$test_dir/ca.pem
    echo "NOTE: VORN_SIGN_CERT and VORN_SIGN_KEY are not set: signed with a throwaway TEST"
    echo "      certificate ($test_dir/sign.pem, CA $CAFILE). Windows does not trust it;"
    echo "      this executable is not for release."
  fi
  mkdir -p "$(dirname "$out")"
  rm -f "$out"
  local log
  # No description (-n): osslsigncode stores it as ASCII, and the product's name is Chinese.
  log=$(osslsigncode "${args[@]}" -in "$in" -out "$out" 2>&1) || {
    printf '%s\n' "$log" >&2
    die "signing failed"
  }
  verify "$out" "$CAFILE"
}

case "${1:-}" in
  sign)
    [ $# -eq 4 ] || die "usage: sign.sh sign IN OUT TEST_DIR"
    sign "$2" "$3" "$4"
    ;;
  verify)
    [ $# -ge 2 ] && [ $# -le 3 ] || die "usage: sign.sh verify FILE [CAFILE]"
    verify "$2" "${3:-}"
    ;;
  *)
    die "usage: sign.sh sign IN OUT TEST_DIR | sign.sh verify FILE [CAFILE]"
    ;;
esac
