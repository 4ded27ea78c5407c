#!/bin/bash
# Installs the Debian packages that building and testing need. Idempotent:
# when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  # cross toolchains (posix thread model) for the i686 product and the x86_64
  # test build, and the mingw zlib (both targets)
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev
  # Wine for both targets (wine32 installs even where the kernel cannot run it),
  # the display server for window tests, screenshots, a CJK font
  wine wine32:i386 wine64 xvfb x11-apps xdotool imagemagick fonts-wqy-microhei
  # build tools
  build-essential pkg-config patch perl cmake ninja-build p7zip-full dpkg-dev ca-certificates iproute2 locales
  # host libraries for the host programs and their tests
  libssl-dev libcpp-httplib-dev libjsoncpp-dev libcjson-dev libpugixml-dev
  zlib1g-dev libpng-dev googletest python3
  # clang with libFuzzer and the sanitizers, for the fuzz harnesses
  clang libclang-rt-14-dev
  # the proxy of the end-to-end scenarios; the tests start their own instances
  squid
  # release: Authenticode signing, and the openssl command for a test certificate
  osslsigncode openssl
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-packages.sh: run as root" >&2
  exit 1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

# Source packages need deb-src entries; the deb822 file is the default on bookworm.
src_file=/etc/apt/sources.list.d/debian.sources
if [ -f "$src_file" ] && grep -qx 'Types: deb' "$src_file"; then
  sed -i 's/^Types: deb$/Types: deb deb-src/' "$src_file"
  need_update=1
elif [ -f /etc/apt/sources.list ] && ! grep -q '^deb-src' /etc/apt/sources.list \
     && grep -q '^deb ' /etc/apt/sources.list; then
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >> /etc/apt/sources.list
  need_update=1
fi
# apt-get source needs fresh source lists even when no binary package is missing.
if ! compgen -G '/var/lib/apt/lists/*_source_Sources*' > /dev/null; then
  need_update=1
fi

if [ "${#missing[@]}" -eq 0 ] && [ "$need_update" -eq 0 ]; then
  echo "install-packages.sh: all packages present"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails one index now and then; try again,
# and go on with what was fetched: the install below is the real test.
for attempt in 1 2 3; do
  apt-get update -q && break
  echo "install-packages.sh: apt-get update failed (attempt $attempt)" >&2
  [ "$attempt" -lt 3 ] && sleep 10
done
# Packages that bring a system service (squid) must not start it: the tests run
# their own instances in their namespaces. A policy that refuses every start
# holds for the duration of the install, unless the machine has one already.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ "${#missing[@]}" -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' > "$policy"
  chmod 755 "$policy"
  own_policy=1
  trap 'rm -f "$policy"' EXIT
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-packages.sh: installing ${missing[*]}"
  if ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    # When the security suite's i386 index could not be fetched, its newer
    # amd64 builds cannot pair with the release's i386 ones (multiarch wants
    # equal versions); the release suite alone still pairs.
    echo "install-packages.sh: retrying from the release suite alone" >&2
    apt-get install -y -q --no-install-recommends \
      -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" "${missing[@]}"
  fi
fi
if [ "$own_policy" = 1 ]; then
  rm -f "$policy"
  trap - EXIT
fi
# On a machine that boots with systemd the unit is enabled all the same.
if [ -d /run/systemd/system ] && systemctl is-enabled --quiet squid 2>/dev/null; then
  systemctl disable --now squid || true
fi
