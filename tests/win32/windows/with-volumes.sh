#!/bin/bash
# Runs a command with small and large volumes of exact sizes: empty tmpfs
# mounts in a private mount namespace, gone when the command ends. Tmpfs takes
# memory only for what is written, so a volume may be far larger than the RAM.
#   with-volumes.sh DIR NAME=SIZE [NAME=SIZE ...] -- COMMAND [ARGS...]
# Each volume is mounted at DIR/NAME; SIZE as mount(8) takes it (943718k, 1g).
# Needs root, as the network namespaces of the tests do.
set -euo pipefail

if [ "${VORN_IN_VOLUMES_NS:-}" != 1 ]; then
  VORN_IN_VOLUMES_NS=1 exec unshare --mount --propagation private "$0" "$@"
fi
unset VORN_IN_VOLUMES_NS

[ $# -ge 3 ] || { echo "usage: with-volumes.sh DIR NAME=SIZE... -- COMMAND" >&2; exit 2; }
dir=$1
shift
mkdir -p "$dir"
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  name=${1%%=*} size=${1#*=}
  case "$name" in
    "" | */* | .*) echo "with-volumes.sh: bad volume '$1'" >&2; exit 2 ;;
  esac
  mkdir -p "$dir/$name"
  mount -t tmpfs -o "size=$size,mode=0755" vorn-volume "$dir/$name"
  shift
done
[ "${1:-}" = "--" ] || { echo "with-volumes.sh: missing -- COMMAND" >&2; exit 2; }
shift
exec "$@"
