#!/bin/bash
# Runs a command while vorn-services answers for the vendor's hosts.
#   services-run.sh DATA_DIR [vorn-services options] -- COMMAND [ARGS...]
# Meant to run inside a namespace of netns-run.sh. The server comes from
# $VORN_SERVICES (default build/host/bin/vorn-services); its log goes to
# stderr, or to the file $VORN_SERVICES_LOG when that is set. The exit code is
# COMMAND's, or 125 when the server did not become ready within 20 seconds.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/stop-process.sh"
server=${VORN_SERVICES:-$here/../../build/host/bin/vorn-services}

usage() {
  echo "usage: services-run.sh DATA_DIR [vorn-services options] -- COMMAND [ARGS...]" >&2
  exit 2
}

[ $# -ge 1 ] || usage
data=$1
shift
opts=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  opts+=("$1")
  shift
done
[ "${1:-}" = "--" ] || usage
shift
[ $# -ge 1 ] || usage
[ -x "$server" ] || { echo "services-run.sh: no server at $server (set VORN_SERVICES)" >&2; exit 125; }

mkdir -p "$data"
rm -f "$data/ready"
if [ -n "${VORN_SERVICES_LOG:-}" ]; then
  "$server" --data "$data" "${opts[@]}" 2>>"$VORN_SERVICES_LOG" &
else
  "$server" --data "$data" "${opts[@]}" &
fi
pid=$!

stop_server() {
  vorn_stop_process "$pid"
}
trap 'stop_server; exit 130' INT TERM

ready=0
for _ in $(seq 200); do
  if [ -s "$data/ready" ]; then ready=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ "$ready" != 1 ]; then
  echo "services-run.sh: vorn-services did not become ready" >&2
  stop_server
  exit 125
fi

"$@"
rc=$?
stop_server
exit $rc
