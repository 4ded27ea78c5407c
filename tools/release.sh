#!/bin/bash
# Builds the product as it ships into dist/:
#   VeltoInstaller.exe      the i686 executable, Authenticode-signed (SHA-256)
#   third-party.txt         the versions of every third-party library built into it
#   SHA256SUMS              the checksums of both
# The build starts from nothing in build/release/ (host tools, then the
# product alone) and is reproducible: the same sources give the same unsigned
# executable in any folder, and `osslsigncode remove-signature` of the signed
# one gives it back.
#
#   tools/release.sh [--no-setup] [--out DIR]
#
# --no-setup skips installing packages and the third-party libraries' build
# (tools/setup/), as on a machine where tools/build.sh has run. Signing takes
# the vendor's key from VORN_SIGN_CERT and VORN_SIGN_KEY (tools/release/sign.sh
# names the other variables); without them a throwaway test certificate signs,
# and the script says so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/dist
setup=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-setup) setup=0 ;;
    --out) out=$(realpath -m "$2"); shift ;;
    *) echo "usage: tools/release.sh [--no-setup] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done
work=$root/build/release
# One job per core (ninja's default takes more), so that others building on a
# small machine keep theirs.
jobs=$(nproc)
started=$SECONDS

step() { echo "release: $*"; }

if [ "$setup" = 1 ]; then
  if [ "${VORN_PACKAGES_CHECKED:-0}" != 1 ] && [ "$(id -u)" -eq 0 ]; then
    tools/setup/install-packages.sh
  fi
  tools/setup/build-mingw-deps.sh i686
fi
for tool in cmake ninja osslsigncode openssl sha256sum; do
  command -v "$tool" > /dev/null || { echo "release: $tool is missing (tools/setup/install-packages.sh)" >&2; exit 1; }
done

quietly() {  # log command...: the command's output goes to the log, shown on failure
  local log=$1
  shift
  "$@" > "$log" 2>&1 || { tail -n 60 "$log" >&2; echo "release: failed: $*" >&2; exit 1; }
}

# The presets' settings, in folders of the release's own.
rm -rf "$work"
mkdir -p "$work"
step "building the host tools in $work/host"
quietly "$work/host.log" cmake --preset host -B "$work/host"
quietly "$work/host-build.log" cmake --build "$work/host" --parallel "$jobs" --target vorn-channel vorn-icon
step "building VeltoInstaller.exe in $work/win32"
quietly "$work/win32.log" cmake --preset win32 -B "$work/win32" -DVORN_HOST_TOOLS_DIR="$work/host/bin"
quietly "$work/win32-build.log" cmake --build "$work/win32" --parallel "$jobs" --target VeltoInstaller
unsigned=$work/win32/bin/VeltoInstaller.exe

cache_value() {  # name: a value of the product tree's CMake cache
  sed -n "s/^$1:[A-Z]*=//p" "$work/win32/CMakeCache.txt" | head -n1
}
version=$(cache_value VORN_VERSION)
# The product is the i686 build (preset win32, cmake/toolchain-i686-mingw.cmake).
triple=i686-w64-mingw32
compiler=$(command -v "$triple-g++-posix")

package_of() {  # file: "package version" of the Debian package that holds it
  local pkg
  # "name[:arch]: path"; with the architecture, one version even where the
  # package is installed for several.
  pkg=$(dpkg -S "$(readlink -f "$1")" 2> /dev/null | head -n1 | sed 's/: .*//') || true
  [ -n "$pkg" ] || { echo "(not from a Debian package: $1)"; return; }
  echo "${pkg%%:*} $(dpkg-query -W -f='${Version}' "$pkg")"
}

third_party() {
  local revision deps_dir ca line name
  revision=$(git -C "$root" rev-parse HEAD 2> /dev/null || echo "not a git checkout")
  if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2> /dev/null)" ]; then
    revision="$revision, with uncommitted changes"
  fi
  echo "# VeltoInstaller.exe $version ($triple), sources $revision"
  echo "# Third-party code built into it, as this build used it (Debian versions)."
  echo
  deps_dir=$(cache_value VORN_DEPS_DIR)
  echo "## Debian source packages, built for $triple by tools/setup/build-mingw-deps.sh"
  while read -r name line; do
    case "$name" in
      "" | "#"*) continue ;;
      openssl) line="$line  TLS and cryptography (libssl, libcrypto)" ;;
      cpp-httplib) line="$line  HTTP and HTTPS client" ;;
      libjsoncpp) line="$line  JSON (client-version answer)" ;;
      cjson) line="$line  JSON (reports, cafe answer)" ;;
      pugixml) line="$line  XML (skin layouts)" ;;
      7zip) line="$line  7z decoder (its C/ folder)" ;;
      zlib) line="$line  minizip (contrib/minizip, reads the skin archive)" ;;
    esac
    echo "$name $line"
  done < "$deps_dir/$triple/versions.txt"
  echo
  echo "## Debian binary packages linked in"
  echo "$(package_of "$("$compiler" -print-file-name=libz.a)")  zlib"
  echo "$(package_of "$("$compiler" -print-file-name=libstdc++.a)")  libstdc++"
  echo "$(package_of "$("$compiler" -print-libgcc-file-name)")  libgcc"
  echo "$(package_of "$("$compiler" -print-file-name=libwinpthread.a)")  C runtime start-up, winpthreads, import libraries"
  echo
  echo "## Data"
  ca=$(cache_value VORN_CA_BUNDLE)
  if [ "$ca" = /etc/ssl/certs/ca-certificates.crt ]; then
    # update-ca-certificates writes the bundle; the package holds its roots.
    echo "ca-certificates $(dpkg-query -W -f='${Version}' ca-certificates)  the embedded CA bundle"
  else
    echo "$ca  the embedded CA bundle, sha256 $(sha256sum < "$ca" | cut -d' ' -f1)"
  fi
  echo
  echo "## Tools whose output is in the image"
  local py png
  py=$(sed -n 's/^_Python3_EXECUTABLE:INTERNAL=//p' "$work/win32/CMakeCache.txt")
  echo "$("$py" -c 'import sys, zlib; print("Python", sys.version.split()[0], "with zlib", zlib.ZLIB_RUNTIME_VERSION)') ($py)  packs the skin archive"
  png=$(sed -n 's/^pkgcfg_lib_PNG_png16:FILEPATH=//p' "$work/host/CMakeCache.txt")
  echo "$(package_of "$png")  vorn-icon's PNG images in the icon"
  echo
  echo "## Toolchain"
  package_of "$compiler"
  package_of "$(command -v "$triple-ld")"
  package_of "$(command -v cmake)"
  package_of "$(command -v ninja)"
}

step "signing"
mkdir -p "$out"
rm -f "$out/VeltoInstaller.exe" "$out/third-party.txt" "$out/SHA256SUMS"
tools/release/sign.sh sign "$unsigned" "$out/VeltoInstaller.exe" "$work/test-signing"
third_party > "$out/third-party.txt"
(cd "$out" && sha256sum VeltoInstaller.exe third-party.txt > SHA256SUMS)

echo
echo "VeltoInstaller.exe $version in $out ($((SECONDS - started)) s)"
echo "  signed     $(stat -c %s "$out/VeltoInstaller.exe") bytes  sha256 $(sha256sum < "$out/VeltoInstaller.exe" | cut -d' ' -f1)"
echo "  unsigned   $(stat -c %s "$unsigned") bytes  sha256 $(sha256sum < "$unsigned" | cut -d' ' -f1)"
echo "             (osslsigncode remove-signature gives the unsigned bytes back)"
echo
sed -n '/^## /,$p' "$out/third-party.txt" | sed 's/^/  /'
echo
cat "$out/SHA256SUMS"
