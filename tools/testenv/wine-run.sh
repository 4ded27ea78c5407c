#!/bin/bash
# Runs a Windows program under Wine with a private prefix inside the build tree.
#   wine-run.sh [--arch i686|x86_64] --root DIR PROGRAM.exe [ARGS...]
# The architecture defaults to the program's own. Prefixes live in DIR/ARCH and
# are made from a template. The shared prefix serves programs whose state does
# not matter; VORN_WINE_FRESH=1 gives the program a copy of the template of its
# own, removed afterwards. VORN_WINE_DISPLAY=1 marks a program that opens
# windows: it always gets a fresh prefix (Wine's desktop process stays bound to
# the first display its prefix saw), and a private Xvfb unless DISPLAY is set.
# VORN_WINE_TIMEOUT=SECONDS ends the program when it runs longer.
# VORN_WINE_DPI=N gives a fresh prefix the display scaling of N dots per inch.
# VORN_WINE_LOCALE=NAME runs it under that Unix locale (see wine-env.sh).
# VORN_WINE_AGAIN=FILE runs the program again in the same prefix and display
# whenever it ends and FILE is there (FILE is removed first): a program that
# ended its Wine session on purpose goes on in the next one. The Wine server of
# the ended session goes first (saving the registry if it still can).
#
# Whatever a fresh prefix started under Wine ends with the program: on exit, on
# a signal, on the time-out, and even when this script itself is killed (a
# detached guard then ends the prefix's processes and removes it).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"

usage() {
  echo "usage: wine-run.sh [--arch i686|x86_64] --root DIR PROGRAM [ARGS...]" >&2
  exit 2
}

arch=""
root=""
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) [ $# -ge 2 ] || usage; arch=$2; shift 2 ;;
    --root) [ $# -ge 2 ] || usage; root=$2; shift 2 ;;
    *) break ;;
  esac
done
[ -n "$root" ] && [ $# -ge 1 ] || usage
if [ -z "$arch" ]; then
  arch=$(vorn_pe_arch "$1") || { echo "wine-run.sh: $1 is not a Windows executable" >&2; exit 2; }
fi
mkdir -p "$root"
root=$(cd "$root" && pwd)

if ! vorn_wine_can_run "$arch"; then
  echo "wine-run.sh: this machine cannot run $arch Windows programs: $(vorn_wine_why_not "$arch")" >&2
  exit 1
fi
vorn_wine_env "$root" "$arch" || exit 2
vorn_wine_template || exit 1
# after the template, which stays the same for every locale
vorn_wine_locale "$root" || exit 1

private_display=0
fresh=${VORN_WINE_FRESH:-0}
if [ "${VORN_WINE_DISPLAY:-0}" = 1 ]; then
  fresh=1
  [ -z "${DISPLAY:-}" ] && private_display=1
fi

child=""
prefix=""
cleanup() {
  trap - EXIT INT TERM HUP
  [ -n "$child" ] && kill "$child" 2> /dev/null
  if [ "$fresh" = 1 ] && [ -n "$prefix" ]; then
    vorn_wine_kill "$prefix"
    rm -rf "$prefix"
  fi
}

if [ "$fresh" = 1 ]; then
  prefix=$(mktemp -d "$VORN_WINE_BASE/run.XXXXXX")
  cp -a "$VORN_WINE_BASE/template/." "$prefix/"
  if [ -n "${VORN_WINE_DPI:-}" ]; then
    vorn_wine_set_dpi "$prefix" "$VORN_WINE_DPI" || { rm -rf "$prefix"; exit 2; }
  fi
  trap cleanup EXIT
  trap 'cleanup; exit 143' TERM
  trap 'cleanup; exit 130' INT
  trap 'cleanup; exit 129' HUP
  # A parent that kills this script outright (a test runner's time-out) gives it
  # no chance to clean up; the guard, detached from it, does that instead.
  setsid -f "$here/wine-guard.sh" $$ "$prefix" < /dev/null > /dev/null 2>&1
else
  prefix=$VORN_WINE_BASE/shared
  (
    flock 9
    if ! cmp -s "$prefix/.ready" "$VORN_WINE_BASE/template/.ready"; then
      vorn_wine_kill "$prefix"
      rm -rf "$prefix"
      cp -a "$VORN_WINE_BASE/template" "$prefix"
    fi
  ) 9> "$VORN_WINE_BASE/shared.lock"
fi
export WINEPREFIX=$prefix

run=("$VORN_WINE" "$@")
if [ -n "${VORN_WINE_AGAIN:-}" ]; then
  run=(bash -c 'while :; do "$@"; rc=$?; [ -e "$VORN_WINE_AGAIN" ] || exit $rc
                rm -f "$VORN_WINE_AGAIN"; wineserver -w; done' wine-again "${run[@]}")
fi
if [ "$private_display" = 1 ]; then
  # Wine's processes go before the display does.
  run=("$here/with-xvfb.sh" bash -c '"$@"; rc=$?; wineserver -k; exit $rc' wine-run "${run[@]}")
fi
limit=${VORN_WINE_TIMEOUT:-0}
if [ "$limit" != 0 ]; then
  run=(timeout --kill-after=10 "$limit" "${run[@]}")
fi

# In the background, so that a signal reaches the traps while the program runs.
"${run[@]}" 0<&0 &
child=$!
wait "$child"
rc=$?
child=""
if [ "$limit" != 0 ] && [ "$rc" -eq 124 ]; then
  echo "wine-run.sh: $(basename "$1") did not end within $limit s; its Wine processes were ended" >&2
elif [ "$rc" -ne 0 ]; then
  # Wine passes on the low byte of a Windows exit code (5 for an access violation).
  echo "wine-run.sh: $(basename "$1") ($arch) ended with status $rc" >&2
fi
exit $rc
