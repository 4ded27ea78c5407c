#!/bin/bash
# Runs a command with a private Xvfb display (1280x800, 24 bit) and stops it afterwards.
#   with-xvfb.sh COMMAND [ARGS...]
set -uo pipefail
if [ $# -lt 1 ]; then echo "usage: with-xvfb.sh COMMAND [ARGS...]" >&2; exit 2; fi

fdfile=$(mktemp)
exec 8> "$fdfile"
Xvfb -displayfd 8 -screen 0 ${VORN_XVFB_SCREEN:-1280x800x24} -nolisten tcp > /dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null; wait $xpid 2>/dev/null; rm -f "$fdfile"' EXIT
for _ in $(seq 1 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
num=$(head -n1 "$fdfile" | tr -dc 0-9)
if [ -z "$num" ]; then echo "with-xvfb.sh: Xvfb did not start" >&2; exit 1; fi
export DISPLAY=:$num
"$@"
