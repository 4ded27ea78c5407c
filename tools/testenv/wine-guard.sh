#!/bin/bash
# Waits for process PID to end, then ends every Windows process of PREFIX and
# removes the prefix. Started detached by wine-run.sh, so that a hung program's
# Wine processes end even when the runner kills wine-run.sh outright.
#   wine-guard.sh PID PREFIX
set -u
pid=$1 prefix=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
while kill -0 "$pid" 2> /dev/null; do
  sleep 1
done
vorn_wine_kill "$prefix"
rm -rf "$prefix"
