#!/bin/bash
# Builds VeltoInstaller.exe (installing what is missing) and runs it under Wine
# with a demo prefix inside the build tree, then shows what it produced.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh > build/demo-build.log 2>&1 || { tail -50 build/demo-build.log; exit 1; }

root=$PWD/build/demo/wine
source tools/testenv/wine-env.sh
vorn_wine_env "$root"
vorn_wine_template "$root"
prefix=$root/demo
rm -rf "$prefix"
cp -a "$root/template" "$prefix"
export WINEPREFIX=$prefix

echo "Running VeltoInstaller.exe under Wine (prefix $prefix)"
set +e
tools/testenv/with-xvfb.sh bash -c 'wine "$0"; rc=$?; wineserver -w; exit $rc' build/win32/bin/VeltoInstaller.exe
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
