#!/bin/bash
# Fetches the Debian source packages of the third-party libraries and builds
# them for mingw into a cache outside the repository, for each target named
# (i686, x86_64; default i686). A package is rebuilt only when the version to
# use differs from the one cached for that target, or when our own patches to
# it (tools/setup/patches/<package>/*.patch, applied after Debian's, in name
# order) changed.
#   build-mingw-deps.sh [i686] [x86_64]
#
# Layout of the cache ($VORN_DEPS_DIR, default /var/cache/vorn-deps):
#   src/<package>-<version>/tree                 unpacked sources, shared by the targets
#   <triple>/<package>/{include,lib}             built libraries and headers
#   <triple>/stamps/<package>                    the Debian version built
#   <triple>/stamps/<package>.patches            digest of our own patches applied to it
#   <triple>/versions.txt                        summary of what was built
set -euo pipefail

CACHE=${VORN_DEPS_DIR:-/var/cache/vorn-deps}
PATCHES=$(cd "$(dirname "$0")" && pwd)/patches
JOBS=$(nproc)
mkdir -p "$CACHE/src"

log() { echo "build-mingw-deps: $*"; }

# Versions of a source package, newest first.
source_versions() {
  local name=$1 v out=()
  mapfile -t out < <(apt-cache showsrc "$name" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -u)
  # insertion sort with dpkg's comparison, descending
  local sorted=()
  for v in "${out[@]}"; do
    local i=0 placed=0 next=()
    for i in "${!sorted[@]}"; do
      if [ "$placed" -eq 0 ] && dpkg --compare-versions "$v" gt "${sorted[$i]}"; then
        next+=("$v"); placed=1
      fi
      next+=("${sorted[$i]}")
    done
    [ "$placed" -eq 0 ] && next+=("$v")
    sorted=("${next[@]}")
  done
  printf '%s\n' "${sorted[@]}"
}

# Downloads and unpacks NAME at VERSION into $CACHE/src/NAME-VERSION; prints the folder.
# Fails when the archive does not serve every file of that version.
fetch_version() {
  local name=$1 version=$2 work="$CACHE/src/$1-$2"
  if [ -f "$work/.unpacked" ]; then
    echo "$work/tree"; return 0
  fi
  rm -rf "$work"; mkdir -p "$work"
  if ! (cd "$work" && apt-get source -q --download-only "$name=$version" > fetch.log 2>&1); then
    rm -rf "$work"; return 1
  fi
  local dsc
  dsc=$(ls "$work"/*.dsc 2>/dev/null | head -n1) || true
  if [ -z "$dsc" ] || ! (cd "$work" && dpkg-source --no-check -x "$dsc" tree > unpack.log 2>&1); then
    rm -rf "$work"; return 1
  fi
  touch "$work/.unpacked"
  echo "$work/tree"
}

# Our own patches to a source package, in the order they apply.
package_patches() {
  local f
  for f in "$PATCHES/$1"/*.patch; do [ -f "$f" ] && echo "$f"; done | LC_ALL=C sort
}

# A digest of those patches' names and content; empty without patches.
patches_digest() {
  local files
  mapfile -t files < <(package_patches "$1")
  [ "${#files[@]}" -eq 0 ] && return 0
  { printf '%s\n' "${files[@]##*/}"; cat "${files[@]}"; } | sha256sum | cut -c1-16
}

# Applies our patches to NAME in DIR (-p1, as Debian's quilt patches).
apply_patches() {  # name dir
  local f
  while read -r f; do
    log "$1: applying ${f##*/}"
    patch -d "$2" -p1 --forward --no-backup-if-mismatch -s < "$f" \
      || { echo "build-mingw-deps: ${f##*/} does not apply to $1" >&2; return 1; }
  done < <(package_patches "$1")
}

# Fetches the newest version that the archive serves completely, falling back to
# older ones (the release's version). Reuses the cached build when it matches,
# our patches included. Sets SRC (empty when the cache is current) and VERSION.
prepare() {
  local name=$1 stamp="$STAMPS/$1" cached="" v
  [ -f "$stamp" ] && cached=$(cat "$stamp")
  [ "$(patches_digest "$name")" = "$(cat "$stamp.patches" 2>/dev/null)" ] || cached=""
  SRC=""; VERSION=""
  local versions
  mapfile -t versions < <(source_versions "$name")
  if [ "${#versions[@]}" -eq 0 ]; then
    echo "build-mingw-deps: no source package '$name' (deb-src entries and apt-get update?)" >&2
    return 1
  fi
  for v in "${versions[@]}"; do
    if [ "$v" = "$cached" ]; then
      VERSION=$v; log "$name $v: cached"; return 0
    fi
    if SRC=$(fetch_version "$name" "$v"); then
      VERSION=$v; log "$name $v: building"; return 0
    fi
    log "$name $v: not fully downloadable, trying an older version"
  done
  echo "build-mingw-deps: no version of '$name' could be fetched" >&2
  return 1
}

done_pkg() {  # name version
  echo "$2" > "$STAMPS/$1"
  local digest
  digest=$(patches_digest "$1")
  if [ -n "$digest" ]; then echo "$digest" > "$STAMPS/$1.patches"; else rm -f "$STAMPS/$1.patches"; fi
}

build_openssl() {
  prepare openssl || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/openssl work=$PREFIX/openssl-build logs=$PREFIX/logs
  rm -rf "$out" "$work"
  mkdir -p "$logs"
  cp -a "$SRC" "$work"
  (
    cd "$work"
    # Debian's pic patch makes the x86 assembly position independent for ELF,
    # which the COFF assembler cannot represent; take it back out for mingw.
    if [ -f debian/patches/pic.patch ] && [ ! -f .pic-reverted ]; then
      patch -R -p1 < debian/patches/pic.patch > /dev/null
    fi
    ./Configure "$OPENSSL_TARGET" no-shared no-tests no-module no-legacy no-engine no-dso \
      --cross-compile-prefix=$HOST- --prefix="$out" --libdir=lib > "$logs/openssl-configure.log" 2>&1
    make -j"$JOBS" build_libs > "$logs/openssl-build.log" 2>&1
    make install_dev > "$logs/openssl-install.log" 2>&1
  ) || { echo "build-mingw-deps: OpenSSL for $HOST failed, see $logs" >&2; return 1; }
  rm -rf "$work"
  done_pkg openssl "$VERSION"
}

build_httplib() {
  prepare cpp-httplib || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/cpp-httplib
  rm -rf "$out"; mkdir -p "$out/include"
  cp "$SRC/httplib.h" "$out/include/"
  apply_patches cpp-httplib "$out/include" || { rm -rf "$out"; return 1; }
  done_pkg cpp-httplib "$VERSION"
}

# Compiles the given sources into one static library.
static_lib() {  # outdir libname cflags... -- sources...
  local out=$1 lib=$2; shift 2
  local flags=() srcs=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done; shift
  srcs=("$@")
  local obj=$out/obj; rm -rf "$obj"; mkdir -p "$obj" "$out/lib"
  local s objs=()
  for s in "${srcs[@]}"; do
    local o=$obj/$(basename "${s%.*}").o
    case "$s" in
      *.c) "$CC" -O2 "${flags[@]}" -c "$s" -o "$o" ;;
      *) "$CXX" -O2 -std=c++17 "${flags[@]}" -c "$s" -o "$o" ;;
    esac
    objs+=("$o")
  done
  rm -f "$out/lib/$lib"
  "$AR" rcs "$out/lib/$lib" "${objs[@]}"
  rm -rf "$obj"
}

build_jsoncpp() {
  prepare libjsoncpp || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/jsoncpp
  rm -rf "$out"; mkdir -p "$out/include"
  cp -r "$SRC/include/json" "$out/include/"
  static_lib "$out" libjsoncpp.a -I"$SRC/include" -- "$SRC"/src/lib_json/*.cpp
  done_pkg libjsoncpp "$VERSION"
}

build_cjson() {
  prepare cjson || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/cjson
  rm -rf "$out"; mkdir -p "$out/include/cjson"
  cp "$SRC/cJSON.h" "$out/include/cjson/"
  static_lib "$out" libcjson.a -- "$SRC/cJSON.c"
  done_pkg cjson "$VERSION"
}

build_pugixml() {
  prepare pugixml || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/pugixml
  rm -rf "$out"; mkdir -p "$out/include"
  cp "$SRC/src/pugixml.hpp" "$SRC/src/pugiconfig.hpp" "$out/include/"
  static_lib "$out" libpugixml.a -- "$SRC/src/pugixml.cpp"
  done_pkg pugixml "$VERSION"
}

# The LZMA SDK's 7z C decoder, from the C folder of Debian's 7zip source.
build_lzma7z() {
  prepare 7zip || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/lzma7z c=$SRC/C
  rm -rf "$out"; mkdir -p "$out/include/lzma7z"
  cp "$c"/*.h "$out/include/lzma7z/"
  local files=(7zArcIn.c 7zDec.c 7zBuf.c 7zCrc.c 7zCrcOpt.c 7zStream.c 7zAlloc.c Bcj2.c
               Bra.c Bra86.c BraIA64.c CpuArch.c Delta.c Lzma2Dec.c LzmaDec.c Ppmd7.c Ppmd7Dec.c)
  local srcs=() f
  for f in "${files[@]}"; do srcs+=("$c/$f"); done
  static_lib "$out" liblzma7z.a -DZ7_PPMD_SUPPORT -- "${srcs[@]}"
  done_pkg 7zip "$VERSION"
}

# minizip (zip reading over zlib) from the contrib folder of Debian's zlib source;
# zlib itself comes from the libz-mingw-w64-dev binary package.
build_minizip() {
  prepare zlib || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/minizip m=$SRC/contrib/minizip
  rm -rf "$out"; mkdir -p "$out/include/minizip"
  cp "$m/unzip.h" "$m/ioapi.h" "$out/include/minizip/"
  static_lib "$out" libminizip.a -I"$m" -- "$m/unzip.c" "$m/ioapi.c"
  done_pkg zlib "$VERSION"
}

build_target() {  # i686 | x86_64
  case "$1" in
    i686) OPENSSL_TARGET=mingw ;;
    x86_64) OPENSSL_TARGET=mingw64 ;;
    *) echo "build-mingw-deps: unknown target '$1' (i686 or x86_64)" >&2; return 2 ;;
  esac
  HOST=$1-w64-mingw32
  PREFIX=$CACHE/$HOST
  STAMPS=$PREFIX/stamps
  CC=$HOST-gcc-posix
  CXX=$HOST-g++-posix
  AR=$HOST-ar
  mkdir -p "$PREFIX" "$STAMPS"
  log "target $HOST"
  local started=$SECONDS

  build_openssl
  build_httplib
  build_jsoncpp
  build_cjson
  build_pugixml
  build_lzma7z
  build_minizip

  {
    echo "# Debian source versions built for $HOST"
    local p
    for p in openssl cpp-httplib libjsoncpp cjson pugixml 7zip zlib; do
      echo "$p $(cat "$STAMPS/$p")"
    done
    for p in openssl cpp-httplib libjsoncpp cjson pugixml 7zip zlib; do
      local f
      while read -r f; do
        echo "# $p carries our patch tools/setup/patches/$p/${f##*/}"
      done < <(package_patches "$p")
    done
  } > "$PREFIX/versions.txt"
  cat "$PREFIX/versions.txt"
  log "target $HOST ready in $((SECONDS - started)) s"
}

[ $# -gt 0 ] || set -- i686
for target in "$@"; do
  build_target "$target"
done
