#!/bin/bash
# Installs what is missing, then configures and builds: build/host (host
# programs), build/fuzz (the fuzz harnesses and their replay, with clang),
# build/win32 (VeltoInstaller.exe for i686 and its tests; always) and, when
# x86_64 is named, build/win64 (the same sources for x86_64).
#   build.sh [x86_64]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/testenv/wine-env.sh

arches=(i686)
for a in "$@"; do
  case "$a" in
    i686) ;;
    x86_64) arches+=(x86_64) ;;
    *) echo "build.sh: unknown architecture '$a' (i686 or x86_64)" >&2; exit 2 ;;
  esac
done

if [ "${VORN_PACKAGES_CHECKED:-0}" = 1 ]; then
  :
elif [ "$(id -u)" -eq 0 ]; then
  tools/setup/install-packages.sh
else
  echo "build.sh: not root, assuming the packages are installed"
fi
tools/setup/build-mingw-deps.sh "${arches[@]}"

configure() {  # preset
  local log=build/configure-$1.log
  mkdir -p build
  cmake --preset "$1" > "$log" 2>&1 || { cat "$log"; exit 1; }
  rm -f "$log"
}

build() {  # preset
  local started=$SECONDS
  configure "$1"
  cmake --build --preset "$1"
  echo "build.sh: $1 built in $((SECONDS - started)) s"
}

build host
if command -v clang++ > /dev/null; then
  build fuzz
else
  echo "build.sh: no clang, the fuzz harnesses are not built"
fi
for a in "${arches[@]}"; do
  build "$(vorn_arch_preset "$a")"
done
