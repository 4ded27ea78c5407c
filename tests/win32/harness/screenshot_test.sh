#!/bin/bash
# A window under Wine on the private display, captured and probed.
#   screenshot_test.sh WINE_ROOT harness_window.exe OUT.png
set -uo pipefail
root=$1 exe=$2 out=$3
testenv=$(cd "$(dirname "$0")/../../../tools/testenv" && pwd)

"$testenv/wine-run.sh" --root "$root" "$exe" &
pid=$!
for _ in $(seq 1 300); do
  xdotool search --name '^VornHarness$' > /dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
"$testenv/screenshot.sh" "$out" || { kill $pid; exit 1; }
kill $pid 2>/dev/null; wait $pid 2>/dev/null

size=$(/usr/bin/identify -format '%wx%h' "$out")
pixel=$(/usr/bin/convert "$out" -format '%[hex:p{250,200}]' info: | cut -c1-6)
outside=$(/usr/bin/convert "$out" -format '%[hex:p{20,20}]' info: | cut -c1-6)
echo "screenshot $out: $size, window pixel $pixel, outside $outside"
[ "$size" = "1280x800" ] && [ "$pixel" = "2080C0" ] && [ "$outside" != "2080C0" ]
