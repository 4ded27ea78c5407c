#!/bin/bash
# A Windows program that never ends cannot outlive its test: wine-run.sh ends
# it and every process of its prefix on its time-out, and when the runner kills
# wine-run.sh outright, the detached guard does. Either way the prefix goes.
#   hang_test.sh WINE_ROOT harness_window.exe
set -uo pipefail
root=$1 exe=$2
testenv=$(cd "$(dirname "$0")/../../../tools/testenv" && pwd)
unset DISPLAY

# Processes whose environment names PREFIX.
users_of() {
  grep -lsz "^WINEPREFIX=$1\$" /proc/[0-9]*/environ 2> /dev/null | wc -l
}
# The fresh prefix of wine-run.sh process PID, from its guard's arguments.
prefix_of() {
  local p
  for _ in $(seq 1 200); do
    p=$(pgrep -af "wine-guard.sh $1 " | awk '{print $NF}' | head -n1)
    [ -n "$p" ] && { echo "$p"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_for_users() {  # prefix: until the program runs in it
  for _ in $(seq 1 300); do
    [ "$(users_of "$1")" -gt 0 ] && return 0
    sleep 0.1
  done
  return 1
}
gone() {  # prefix: no process left and the folder removed, within 20 s
  for _ in $(seq 1 200); do
    [ "$(users_of "$1")" -eq 0 ] && [ ! -e "$1" ] && return 0
    sleep 0.1
  done
  echo "    still there: $(users_of "$1") processes, folder $( [ -e "$1" ] && echo present || echo removed)"
  return 1
}
descendants() {
  local c
  for c in $(pgrep -P "$1"); do descendants "$c"; echo "$c"; done
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# 1. The time-out.
VORN_WINE_DISPLAY=1 VORN_WINE_TIMEOUT=6 "$testenv/wine-run.sh" --root "$root" "$exe" 2> "$root/hang-timeout.err" &
pid=$!
prefix=$(prefix_of $pid) || fail "no guard for the time-out run"
wait $pid
rc=$?
[ "$rc" -eq 124 ] || fail "time-out: status $rc, expected 124"
grep -q 'did not end within 6 s' "$root/hang-timeout.err" || fail "time-out: no message"
[ -n "$prefix" ] && { gone "$prefix" || fail "time-out: the prefix's processes or folder remain"; }

# 2. The runner kills wine-run.sh and everything below it at once.
VORN_WINE_DISPLAY=1 "$testenv/wine-run.sh" --root "$root" "$exe" 2> /dev/null &
pid=$!
if prefix=$(prefix_of $pid) && wait_for_users "$prefix"; then
  kill -KILL $pid $(descendants $pid) 2> /dev/null
  wait $pid 2> /dev/null
  gone "$prefix" || fail "killed: the prefix's processes or folder remain"
else
  fail "killed: the program did not start"
  kill -KILL $pid $(descendants $pid) 2> /dev/null
fi

echo "$((2 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
