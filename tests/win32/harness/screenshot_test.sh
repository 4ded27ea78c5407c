#!/bin/bash
# A window under Wine on the private display, captured and probed.
#   screenshot_test.sh WINE_ROOT harness_window.exe OUT.png
set -uo pipefail
root=$1 exe=$2 out=$3
testenv=$(cd "$(dirname "$0")/../../../tools/testenv" && pwd)

# A prefix of its own; wine-run.sh ends its Wine processes when it is ended.
VORN_WINE_DISPLAY=1 VORN_WINE_TIMEOUT=120 "$testenv/wine-run.sh" --root "$root" "$exe" &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null' EXIT
shown=0
for _ in $(seq 1 300); do
  if xdotool search --name '^VornHarness$' > /dev/null 2>&1; then shown=1; break; fi
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
[ "$shown" = 1 ] || { echo "the harness window did not appear" >&2; exit 1; }
sleep 1
"$testenv/screenshot.sh" "$out" || exit 1

size=$(/usr/bin/identify -format '%wx%h' "$out")
pixel=$(/usr/bin/convert "$out" -format '%[hex:p{250,200}]' info: | cut -c1-6)
outside=$(/usr/bin/convert "$out" -format '%[hex:p{20,20}]' info: | cut -c1-6)
echo "screenshot $out: $size, window pixel $pixel, outside $outside"
[ "$size" = "1280x800" ] && [ "$pixel" = "2080C0" ] && [ "$outside" != "2080C0" ]
