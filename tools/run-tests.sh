#!/bin/bash
# Builds everything (installing what is missing) and runs every test: host
# tests and the fuzz corpora's replay natively, Windows tests under Wine. The
# i686 product is always built; the Windows tests run on i686 where this
# machine runs 32-bit programs, and on x86_64 where it does not.
# VORN_TEST_ARCH=i686|x86_64|both asks for others.
# Extra arguments go to ctest (e.g. -R win32.util).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/testenv/wine-env.sh

if [ "$(id -u)" -eq 0 ]; then
  tools/setup/install-packages.sh
fi
vorn_choose_arches "${VORN_TEST_ARCH:-auto}" VORN_TEST_ARCH || exit 1
extra=()
for a in $VORN_ARCHES; do
  [ "$a" = i686 ] || extra+=("$a")
done
VORN_PACKAGES_CHECKED=1 tools/build.sh "${extra[@]}"

trees=(host)
if [ -f build/fuzz/CTestTestfile.cmake ]; then
  trees+=(fuzz)
fi
for a in $VORN_ARCHES; do
  trees+=("$(vorn_arch_preset "$a")")
done
printf 'subdirs(%s)\n' "$(printf '"%s" ' "${trees[@]}")" > build/CTestTestfile.cmake
echo "Windows tests run on ${VORN_ARCHES// / and }: $VORN_ARCHES_WHY."
# Windows tests open private displays of their own.
unset DISPLAY
ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
