#!/bin/bash
# Saves the whole screen of $DISPLAY as a PNG file.
#   screenshot.sh OUT.png
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: screenshot.sh OUT.png" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "screenshot.sh: no DISPLAY" >&2; exit 1; }
mkdir -p "$(dirname "$1")"
xwd -root -silent -display "$DISPLAY" | /usr/bin/convert xwd:- "png:$1"
