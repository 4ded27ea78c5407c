#!/bin/bash
# Symbolic links inside an installation that point outside it, made on the Linux
# side (Wine can make none itself), then the Windows test against them.
#   links_test.sh WORK_DIR -- WINE-RUN COMMAND...
set -euo pipefail
work=$1
shift
[ "$1" = "--" ] && shift
if [ -d "$work" ]; then chmod -R u+w "$work"; rm -rf "$work"; fi
mkdir -p "$work/Games/Vorn/bin" "$work/outside/data"
printf 'mine' > "$work/outside/data/mine.txt"
printf 'outside channel' > "$work/outside/channel.dat"
ln -s "$work/outside/data" "$work/Games/Vorn/bin/data"
ln -s "$work/outside/channel.dat" "$work/Games/Vorn/ZizUdir.dat"
"$@"
