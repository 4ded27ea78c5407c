#!/bin/bash
# Fetches the Debian source packages of the third-party libraries and builds
# them for mingw into a cache outside the repository, for each target named
# (i686, x86_64; default i686). A package is rebuilt when the version to use,
# the way this script builds it, or our own patches to it
# (tools/setup/patches/<package>/*.patch, applied after Debian's, in name
# order) differ from what is cached for that target.
#   build-mingw-deps.sh [i686] [x86_64]
#
# Layout of the cache ($VORN_DEPS_DIR, default /var/cache/vorn-deps):
#   src/<package>-<version>/tree                 unpacked sources, shared by the targets
#   <triple>/<package>/{include,lib}             built libraries and headers
#   <triple>/stamps/<package>                    the Debian version built and the
#                                                signature of its build configuration
#   <triple>/stamps/<package>.patches            digest of our own patches applied to it
#   <triple>/versions.txt                        summary of what was built
set -euo pipefail

CACHE=${VORN_DEPS_DIR:-/var/cache/vorn-deps}
PATCHES=$(cd "$(dirname "$0")" && pwd)/patches
JOBS=$(nproc)
mkdir -p "$CACHE/src"

log() { echo "build-mingw-deps: $*"; }

# The C libraries are optimised for size, with one section per function and
# datum so that the linker drops what the installer never calls, and without
# unwind tables: no C++ exception passes through them (the callbacks they make
# into our code do not throw). The 7z decoder stays optimised for speed, and
# keeps its zero-filled tables in .bss (on PE, -fdata-sections puts them in
# .data$ sections, which take room in the file).
C_FLAGS=(-Os -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -fno-unwind-tables)
LZMA_FLAGS=(-O2 -fno-data-sections)
# C++ libraries keep their unwind tables: exceptions pass through them. They
# carry link-time optimisation data beside their machine code for the
# installer's link (cmake/ProductSize.cmake); other programs link the code.
CXX_FLAGS=(-Os -ffunction-sections -fdata-sections -flto -ffat-lto-objects)

# OpenSSL for what a TLS 1.2 and 1.3 client needs. Everything that the default
# ClientHello offers stays (its cipher suites, groups and signature algorithms,
# DHE and DSA among them, TLS 1.0 to 1.3), so that servers see the same
# handshake; gone are the protocols, ciphers and formats that a client never
# uses, the deprecated APIs, the error texts and the configuration file that
# would be looked for in the build's prefix at run time.
OPENSSL_OPTIONS=(no-shared no-tests no-module no-legacy no-engine no-dso
  no-deprecated no-autoload-config no-err no-filenames no-ui-console no-async
  no-aria no-bf no-blake2 no-camellia no-cast no-cmac no-cmp no-cms no-comp no-ct no-des
  no-dgram no-ec2m no-gost no-idea no-md4 no-mdc2 no-multiblock no-nextprotoneg no-ocb
  no-ocsp no-psk no-rc2 no-rc4 no-rfc3779 no-rmd160 no-scrypt no-seed no-siphash no-siv
  no-sm2 no-sm3 no-sm4 no-srp no-srtp no-ssl-trace no-ts no-whirlpool)

# Signature of how a package is built: the shell functions that build it, the
# variables they take their flags from, files they apply (patches), and the
# compiler. A change to any of them rebuilds the package, also in caches that
# other machines filled.
config_signature() {  # function names, variable names, file paths...
  local n
  { for n in "$@"; do
      if declare -F "$n" > /dev/null; then declare -f "$n"
      elif [ -f "$n" ]; then cat "$n"
      else declare -p "$n"; fi
    done
    "$CC" --version | head -n1; } | sha256sum | cut -c1-16
}

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
# older ones (the release's version). Reuses the cached build when version,
# build signature and our patches match. Sets SRC (empty when the cache is
# current), VERSION and SIGNATURE.
prepare() {  # name, then the functions and variables of its build
  local name=$1 stamp="$STAMPS/$1" cached="" v
  shift
  SIGNATURE=$(config_signature "$@")
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
    if [ "$v $SIGNATURE" = "$cached" ]; then
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
  echo "$2 $SIGNATURE" > "$STAMPS/$1"
  local digest
  digest=$(patches_digest "$1")
  if [ -n "$digest" ]; then echo "$digest" > "$STAMPS/$1.patches"; else rm -f "$STAMPS/$1.patches"; fi
}

build_openssl() {
  prepare openssl build_openssl OPENSSL_OPTIONS C_FLAGS || return 1
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
    # The 32-bit P-256 assembly carries a 150 KiB table of precomputed points;
    # the generic code does the few P-256 operations of a handshake in a few
    # milliseconds more.
    sed -i 's/^\(\s*\$ECASM_x86=\).*$/\1/' crypto/ec/build.info
    grep -q '^\s*\$ECASM_x86=$' crypto/ec/build.info
    ./Configure "$OPENSSL_TARGET" "${OPENSSL_OPTIONS[@]}" "${C_FLAGS[@]}" \
      --cross-compile-prefix=$HOST- --prefix="$out" --libdir=lib > "$logs/openssl-configure.log" 2>&1
    make -j"$JOBS" build_libs > "$logs/openssl-build.log" 2>&1
    make install_dev > "$logs/openssl-install.log" 2>&1
  ) || { echo "build-mingw-deps: OpenSSL for $HOST failed, see $logs" >&2; return 1; }
  rm -rf "$work"
  done_pkg openssl "$VERSION"
}

build_httplib() {
  prepare cpp-httplib build_httplib || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/cpp-httplib
  rm -rf "$out"; mkdir -p "$out/include"
  cp "$SRC/httplib.h" "$out/include/"
  apply_patches cpp-httplib "$out/include" || { rm -rf "$out"; return 1; }
  done_pkg cpp-httplib "$VERSION"
}

# Compiles the given sources into one static library; C with C_FLAGS, C++
# with CXX_FLAGS, then the flags given.
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
      *.c) "$CC" "${C_FLAGS[@]}" "${flags[@]}" -c "$s" -o "$o" ;;
      *) "$CXX" "${CXX_FLAGS[@]}" -std=c++17 "${flags[@]}" -c "$s" -o "$o" ;;
    esac
    objs+=("$o")
  done
  rm -f "$out/lib/$lib"
  "$AR" rcs "$out/lib/$lib" "${objs[@]}"
  rm -rf "$obj"
}

build_jsoncpp() {
  prepare libjsoncpp build_jsoncpp static_lib C_FLAGS CXX_FLAGS || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/jsoncpp
  rm -rf "$out"; mkdir -p "$out/include"
  cp -r "$SRC/include/json" "$out/include/"
  static_lib "$out" libjsoncpp.a -I"$SRC/include" -- "$SRC"/src/lib_json/*.cpp
  done_pkg libjsoncpp "$VERSION"
}

build_cjson() {
  prepare cjson build_cjson static_lib C_FLAGS CXX_FLAGS || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/cjson
  rm -rf "$out"; mkdir -p "$out/include/cjson"
  cp "$SRC/cJSON.h" "$out/include/cjson/"
  # cJSON's header exports its functions from whatever links it, unless told not to.
  static_lib "$out" libcjson.a -DCJSON_HIDE_SYMBOLS -- "$SRC/cJSON.c"
  done_pkg cjson "$VERSION"
}

build_pugixml() {
  prepare pugixml build_pugixml static_lib C_FLAGS CXX_FLAGS || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/pugixml
  rm -rf "$out"; mkdir -p "$out/include"
  cp "$SRC/src/pugixml.hpp" "$SRC/src/pugiconfig.hpp" "$out/include/"
  static_lib "$out" libpugixml.a -- "$SRC/src/pugixml.cpp"
  done_pkg pugixml "$VERSION"
}

# The LZMA SDK's 7z C decoder, from the C folder of Debian's 7zip source.
build_lzma7z() {
  prepare 7zip build_lzma7z static_lib C_FLAGS CXX_FLAGS LZMA_FLAGS || return 1
  [ -z "$SRC" ] && return 0
  local out=$PREFIX/lzma7z c=$SRC/C
  rm -rf "$out"; mkdir -p "$out/include/lzma7z"
  cp "$c"/*.h "$out/include/lzma7z/"
  local files=(7zArcIn.c 7zDec.c 7zBuf.c 7zCrc.c 7zCrcOpt.c 7zStream.c 7zAlloc.c Bcj2.c
               Bra.c Bra86.c BraIA64.c CpuArch.c Delta.c Lzma2Dec.c LzmaDec.c Ppmd7.c Ppmd7Dec.c)
  local srcs=() f
  for f in "${files[@]}"; do srcs+=("$c/$f"); done
  static_lib "$out" liblzma7z.a "${LZMA_FLAGS[@]}" -DZ7_PPMD_SUPPORT -- "${srcs[@]}"
  done_pkg 7zip "$VERSION"
}

# minizip (zip reading over zlib) from the contrib folder of Debian's zlib source;
# zlib itself comes from the libz-mingw-w64-dev binary package.
build_minizip() {
  prepare zlib build_minizip static_lib C_FLAGS CXX_FLAGS || return 1
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
      local version _
      read -r version _ < "$STAMPS/$p"
      echo "$p $version"
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
