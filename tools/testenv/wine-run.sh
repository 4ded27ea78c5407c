#!/bin/bash
# Runs a Windows program under Wine with a private prefix inside the build tree.
#   wine-run.sh --root DIR PROGRAM.exe [ARGS...]
# The prefix is made once from a template; VORN_WINE_FRESH=1 gives the program
# a copy of the template of its own, removed afterwards. VORN_WINE_DISPLAY=1
# starts a private Xvfb when no display is set; such a program also gets a
# fresh prefix, since Wine's desktop process stays bound to the first display
# its prefix saw.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != "--root" ] || [ $# -lt 3 ]; then
  echo "usage: wine-run.sh --root DIR PROGRAM [ARGS...]" >&2
  exit 2
fi
root=$2
shift 2
mkdir -p "$root"
root=$(cd "$root" && pwd)

source "$here/wine-env.sh"
vorn_wine_env "$root"
vorn_wine_template "$root" || exit 1

private_display=0
if [ "${VORN_WINE_DISPLAY:-0}" = 1 ] && [ -z "${DISPLAY:-}" ]; then
  private_display=1
  VORN_WINE_FRESH=1
fi

if [ "${VORN_WINE_FRESH:-0}" = 1 ]; then
  prefix=$(mktemp -d "$root/run.XXXXXX")
  cp -a "$root/template/." "$prefix/"
  cleanup() { WINEPREFIX=$prefix wineserver -k > /dev/null 2>&1; rm -rf "$prefix"; }
  trap cleanup EXIT
else
  prefix=$root/shared
  (
    flock 9
    if ! cmp -s "$prefix/.ready" "$root/template/.ready"; then
      [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k > /dev/null 2>&1
      rm -rf "$prefix"
      cp -a "$root/template" "$prefix"
    fi
  ) 9> "$root/shared.lock"
fi
export WINEPREFIX=$prefix

if [ "$private_display" = 1 ]; then
  # Wine's processes go before the display does.
  "$here/with-xvfb.sh" bash -c 'wine "$@"; rc=$?; wineserver -k; exit $rc' wine-run "$@"
  exit $?
fi
wine "$@"
