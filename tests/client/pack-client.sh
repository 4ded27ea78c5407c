#!/bin/bash
# Lays out the client package and packs it: a solid 7z, LZMA2, with 7-Zip's
# executable filter (x86 BCJ) on the .exe files.
#   pack-client.sh OUTPUT.7z STAGE_DIR VORN_EXE UNINSTALLER_EXE VERSION [LARGE_MIB [TEXT_MIB]]
# LARGE_MIB adds that many MiB of incompressible data files (bench/), made by
# make-large-data.py, for progress and benchmark runs; TEXT_MIB as many MiB of
# text files next to them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 5 ] || { echo "usage: pack-client.sh OUTPUT.7z STAGE_DIR VORN_EXE UNINSTALLER_EXE VERSION [LARGE_MIB [TEXT_MIB]]" >&2; exit 2; }
out=$1 stage=$2 client=$3 uninstaller=$4 version=$5 large=${6:-0} text=${7:-}

if [ -d "$stage" ]; then chmod -R u+w "$stage"; rm -rf "$stage"; fi
mkdir -p "$stage/bin/data"
cp "$client" "$stage/vorn.exe"
cp "$uninstaller" "$stage/Uninstaller.exe"
# The nested data file: deterministic text, a few KiB.
for i in $(seq 1 64); do printf 'Velto client data line %03d\r\n' "$i"; done > "$stage/bin/data/x.dat"
printf '%s\r\n' "$version" > "$stage/bin/version.txt"
if [ "$large" -gt 0 ]; then
  python3 "$here/make-large-data.py" "$stage/bench" "$large" $text
fi
# The files the uninstaller may remove, itself included.
(cd "$stage" && { find . -type f | sed 's|^\./||'; echo install.lst; } | LC_ALL=C sort \
  | sed 's/$/\r/') > "$stage.lst"
mv "$stage.lst" "$stage/install.lst"
# 7-Zip on Linux derives Windows attributes from the mode bits: a file without
# write permission is stored with FILE_ATTRIBUTE_READONLY (shown as "R").
chmod a-w "$stage/bin/version.txt"
# Fixed times, so that equal inputs give an equal archive.
find "$stage" -exec touch -h -d '2024-01-01 00:00:00 UTC' {} +

level=()
[ "$large" -gt 0 ] && level=(-mx=1)  # incompressible anyway; keep it quick
rm -f "$out.tmp"
(cd "$stage" && 7z a -t7z -m0=LZMA2 -ms=on -mf=on "${level[@]}" -bd -bso0 -bsp0 "$out.tmp" .)
mv -f "$out.tmp" "$out"
