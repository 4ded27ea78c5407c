#!/bin/bash
# The executable as shipped: the PE format of its architecture, a GUI program,
# large-address aware, a manifest naming its processor, and no DLL beside it.
#   image_test.sh OBJDUMP VeltoInstaller.exe i686|x86_64
set -uo pipefail
objdump=$1 exe=$2 arch=$3
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

[ "$failures" -eq 0 ]
