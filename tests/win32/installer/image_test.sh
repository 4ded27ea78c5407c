#!/bin/bash
# The executable as shipped: the PE format of its architecture, a GUI program,
# large-address aware, a manifest naming its processor, and no DLL beside it;
# its data resources exactly the build's files beside a version resource; and
# nothing that differs between two builds of the same sources (a time, a folder).
#   image_test.sh OBJDUMP VeltoInstaller.exe i686|x86_64 RES_DIR CA_BUNDLE SOURCE_DIR BUILD_DIR
set -uo pipefail
objdump=$1 exe=$2 arch=$3 res=$4 bundle=$5 source_dir=$6 build_dir=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
expect() {  # description command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

"$objdump" -p "$exe" > "$work/headers" || { echo "FAIL: $objdump cannot read $exe"; exit 1; }
case "$arch" in
  i686) magic=010b manifest_arch=x86 ;;
  x86_64) magic=020b manifest_arch=amd64 ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac
expect "PE format of $arch (magic $magic)" grep -q "^Magic[[:space:]]*$magic" "$work/headers"
expect "GUI subsystem" grep -q '^Subsystem[[:space:]]*00000002' "$work/headers"
expect "large address aware" grep -qi 'large address aware' "$work/headers"

# Only system DLLs: the C++ runtime, libgcc and winpthread are linked in.
grep 'DLL Name:' "$work/headers" | awk '{print tolower($3)}' | sort -u > "$work/dlls"
expect "imports only system DLLs ($(tr '\n' ' ' < "$work/dlls"))" \
  bash -c '! grep -qE "^(lib|zlib|ssl|crypto)" "$0"' "$work/dlls"

(cd "$work" && 7z x -y -tpe "$exe" '.rsrc/*' > /dev/null 2>&1)
manifest=$(find "$work/.rsrc" -path '*MANIFEST*' -type f 2>/dev/null | head -n1)
expect "a manifest is embedded" test -n "$manifest"
if [ -n "$manifest" ]; then
  expect "the manifest names processor $manifest_arch" \
    grep -q "name=\"Corlanth.Velto.Installer\"[^>]*processorArchitecture=\"$manifest_arch\"" "$manifest"
  expect "the manifest asks for highestAvailable" grep -q 'level="highestAvailable"' "$manifest"
  expect "the manifest declares per-monitor v2 DPI awareness, else the system's" \
    grep -q '<dpiAwareness[^>]*>PerMonitorV2, System</dpiAwareness>' "$manifest"
  expect "older Windows see a DPI-aware program" grep -q '<dpiAware[^>]*>true</dpiAware>' "$manifest"
fi

# The resources: the same bytes as the files they are made of, and nothing else
# but the manifest and the version resource.
rsrc=$work/.rsrc
expect "the CA bundle is DATA 104" cmp -s "$rsrc/1033/DATA/104" "$bundle"
expect "the channel file is DATA 152" cmp -s "$rsrc/1033/DATA/152" "$res/ZizUdir.dat"
expect "the skin archive is ZIPRES 102" cmp -s "$rsrc/2052/ZIPRES/102" "$res/skin.zip"
expect "every image of icon 101 is one of the icon file's" python3 - "$rsrc/1033" "$res/velto.ico" <<'PY'
import os, struct, sys
folder, ico = sys.argv[1], open(sys.argv[2], "rb").read()
count = struct.unpack_from("<H", ico, 4)[0]
images = {ico[o:o + n] for n, o in (struct.unpack_from("<II", ico, 6 + 16 * i + 8) for i in range(count))}
# 7-Zip gives each image that is no PNG a header of its own (22 bytes) as an .ico file.
found = [open(os.path.join(folder, "ICON", f), "rb").read() for f in os.listdir(os.path.join(folder, "ICON"))]
found = {d[22:] if d[:4] == b"\0\0\1\0" else d for d in found}
sys.exit(0 if found == images and os.path.exists(os.path.join(folder, "GROUP_ICON", "101")) else 1)
PY
(cd "$rsrc" && find . -type f | sed 's|^\./||; s|/ICON/[0-9]*\(\.ico\)*$|/ICON/*|' | sort -u) > "$work/resources"
expect "no other resources ($(tr '\n' ' ' < "$work/resources"))" diff -q "$work/resources" - <<'LIST'
1033/DATA/104
1033/DATA/152
1033/GROUP_ICON/101
1033/ICON/*
1033/MANIFEST/1
2052/ZIPRES/102
2052/version.txt
LIST

# Reproducible: no link time in the header, the resource directory or elsewhere
# in the headers, and no folder of the source or build tree in the image.
expect "no time stamp in the PE header" grep -q "^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970" "$work/headers"
expect "no time stamp in the resource directory" \
  bash -c '! grep -E "Time: [0-9a-f]{8}" "$0" | grep -qv "Time: 00000000"' "$work/headers"
for folder in "$source_dir" "$build_dir"; do
  expect "no $folder in the image" bash -c '! strings -a "$0" | grep -qF "$1"' "$exe" "$folder"
  expect "no $folder in the image's UTF-16 texts" bash -c '! strings -a -el "$0" | grep -qF "$1"' "$exe" "$folder"
done

[ "$failures" -eq 0 ]
