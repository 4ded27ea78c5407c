#!/bin/bash
# Which Windows architectures the test scripts choose, on machines of every
# kind: stand-in loaders play a machine that runs both, one without 32-bit
# emulation, one without 64-bit Wine, and one with no Wine at all.
#   arch_choice_test.sh TOOLS_TESTENV_DIR
set -uo pipefail
testenv=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '#!/bin/sh\necho wine-8.0\n' > "$work/works"
printf '#!/bin/sh\necho "cannot execute binary file: Exec format error" >&2\nexit 126\n' > "$work/noexec"
chmod +x "$work/works" "$work/noexec"

failures=0 passed=0
check() {  # description expected-status expected-arches expected-text-pattern wine32 wine64 want
  local what=$1 status=$2 arches=$3 pattern=$4
  local out rc
  out=$(VORN_WINE32_LOADER=$5 VORN_WINE64_LOADER=$6 bash -c '
      source "$0/wine-env.sh"
      vorn_choose_arches "$1" VORN_TEST_ARCH || exit $?
      echo "arches=$VORN_ARCHES"
      echo "why=$VORN_ARCHES_WHY"' "$testenv" "$7" 2>&1)
  rc=$?
  if [ "$rc" != "$status" ] || { [ -n "$arches" ] && ! grep -qx "arches=$arches" <<< "$out"; } \
     || ! grep -q -- "$pattern" <<< "$out"; then
    echo "FAIL: $what: status $rc (expected $status)"
    sed 's/^/    /' <<< "$out"
    failures=$((failures + 1))
  else
    passed=$((passed + 1))
  fi
}

W=$work/works N=$work/noexec M=$work/missing
check "both run, auto"             0 i686          "runs 32-bit programs"        "$W" "$W" auto
check "no 32-bit, auto"            0 x86_64        "cannot run 32-bit programs"  "$N" "$W" auto
check "no 32-bit, reason"          0 x86_64        "Exec format error"           "$N" "$W" auto
check "no wine64, auto"            0 i686          "runs 32-bit programs"        "$W" "$M" auto
check "nothing runs"               1 ""            "neither i686 nor x86_64"     "$N" "$M" auto
check "nothing runs, names loader" 1 ""            "$M is not installed"         "$N" "$M" auto
check "asked for x86_64"           0 x86_64        "asked for by VORN_TEST_ARCH" "$W" "$W" x86_64
check "asked for both"             0 "i686 x86_64" "asked for by"                "$W" "$W" both
check "asked for i686, no 32-bit"  1 ""            "asks for i686, but"          "$N" "$W" i686
check "asked for both, no 32-bit"  1 ""            "cannot run i686"             "$N" "$W" both
check "unknown request"            2 ""            "none of auto, i686"          "$W" "$W" arm64

# The architecture of an executable comes from its PE header.
pe() {  # machine-bytes
  local f=$work/pe.exe
  { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00'; printf 'PE\0\0'; printf "$1"; head -c 64 /dev/zero; } > "$f"
  bash -c 'source "$0/wine-env.sh"; vorn_pe_arch "$1"' "$testenv" "$f"
}
for c in '\x4c\x01:i686' '\x64\x86:x86_64' '\x64\xaa:'; do
  got=$(pe "${c%%:*}")
  if [ "$got" = "${c##*:}" ]; then passed=$((passed + 1)); else
    echo "FAIL: PE machine ${c%%:*}: got '$got', expected '${c##*:}'"; failures=$((failures + 1)); fi
done
if bash -c 'source "$0/wine-env.sh"; vorn_pe_arch /dev/null' "$testenv" > /dev/null; then
  echo "FAIL: an empty file has an architecture"; failures=$((failures + 1))
else passed=$((passed + 1)); fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
