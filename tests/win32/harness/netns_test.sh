#!/bin/bash
# Inside a namespace made by netns-run.sh: a local HTTP service on port 80,
# reached by a Windows program under the product's real host name.
#   netns_test.sh WINE_ROOT harness_netprobe.exe HOST
set -uo pipefail
root=$1 exe=$2 host=$3
testenv=$(cd "$(dirname "$0")/../../../tools/testenv" && pwd)

www=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$www"' EXIT
echo "vorn-probe-ok" > "$www/probe"
python3 -m http.server 80 --bind 127.0.0.1 --directory "$www" > /dev/null 2>&1 &
server=$!
for _ in $(seq 1 50); do
  (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null && break
  sleep 0.1
done
# Wine makes sockets in its wineserver: a fresh prefix starts one inside this namespace.
output=$(VORN_WINE_FRESH=1 "$testenv/wine-run.sh" --root "$root" "$exe" "$host" 80)
rc=$?
echo "$output"
[ $rc -eq 0 ] && grep -q '^address 127.0.0.1' <<< "$output"
