#!/bin/bash
# Builds VeltoInstaller.exe (installing what is missing) and runs it under Wine
# with a demo prefix inside the build tree, then shows what it produced. The
# product is the i686 build; where this machine cannot run 32-bit programs, the
# demo runs the same sources built for x86_64 (VORN_DEMO_ARCH chooses).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/testenv/wine-env.sh

mkdir -p build
if [ "$(id -u)" -eq 0 ]; then
  tools/setup/install-packages.sh > build/demo-packages.log 2>&1 || { tail -50 build/demo-packages.log; exit 1; }
fi
vorn_choose_arches "${VORN_DEMO_ARCH:-auto}" VORN_DEMO_ARCH || exit 1
case "$VORN_ARCHES" in
  i686 | x86_64) arch=$VORN_ARCHES ;;
  *) echo "run-demo.sh: the demo runs one architecture; VORN_DEMO_ARCH is i686 or x86_64" >&2; exit 2 ;;
esac
extra=()
[ "$arch" = i686 ] || extra=("$arch")
VORN_PACKAGES_CHECKED=1 tools/build.sh "${extra[@]}" > build/demo-build.log 2>&1 || { tail -50 build/demo-build.log; exit 1; }

exe=build/$(vorn_arch_preset "$arch")/bin/VeltoInstaller.exe
root=$PWD/build/demo/wine
vorn_wine_env "$root" "$arch"
vorn_wine_template
prefix=$VORN_WINE_BASE/demo
vorn_wine_kill "$prefix"
rm -rf "$prefix"
cp -a "$VORN_WINE_BASE/template" "$prefix"
export WINEPREFIX=$prefix

echo "Running $exe ($arch: $VORN_ARCHES_WHY) under Wine, prefix $prefix"
set +e
unset DISPLAY
tools/testenv/with-xvfb.sh bash -c '"$VORN_WINE" "$0"; rc=$?; wineserver -w; exit $rc' "$exe"
rc=$?
set -e
echo "exit code: $rc"
temp=$(echo "$prefix"/drive_c/users/*/Temp)
echo "temporary folder $temp:"
ls -l "$temp"
for log in "$temp"/Installer*.log; do
  [ -f "$log" ] || continue
  echo "--- $(basename "$log") (code page 936):"
  iconv -f CP936 -t UTF-8 "$log"
done
