#!/bin/bash
# Installs what is missing, then configures and builds both configurations:
# build/host (host programs) and build/win32 (VeltoInstaller.exe and its tests).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then
  tools/setup/install-packages.sh
else
  echo "build.sh: not root, assuming the packages are installed"
fi
tools/setup/build-mingw-deps.sh

cmake --preset host > build-host-configure.log 2>&1 || { cat build-host-configure.log; exit 1; }
cmake --build --preset host
cmake --preset win32 > build-win32-configure.log 2>&1 || { cat build-win32-configure.log; exit 1; }
cmake --build --preset win32
rm -f build-host-configure.log build-win32-configure.log

# One ctest over both trees.
printf 'subdirs("host" "win32")\n' > build/CTestTestfile.cmake
