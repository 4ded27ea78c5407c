#!/bin/bash
# Runs a command in a network namespace of its own, with loopback up and a hosts
# file that maps the given names to an address of that namespace. Nothing
# outside the namespace can reach what it starts, and it reaches nothing outside.
#   netns-run.sh [--addr A] [--ethernet CIDR] [--unreachable "NAMES"]
#                --hosts "name1 name2 ..." -- COMMAND [ARGS...]
# --ethernet adds a dummy Ethernet device with that address (an adapter that
# Windows programs under Wine see). --unreachable maps names to 192.0.2.1, an
# address to which the namespace has no route (a proxy may still reach them by
# its own hosts file). The hosts file lives in a temporary folder and is
# bind-mounted over /etc/hosts inside a private mount namespace.
set -euo pipefail

addr=127.0.0.1
hosts=""
ether=""
unreachable=""
while [ $# -gt 0 ]; do
  case "$1" in
    --addr) addr=$2; shift 2 ;;
    --hosts) hosts=$2; shift 2 ;;
    --ethernet) ether=$2; shift 2 ;;
    --unreachable) unreachable=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "netns-run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: netns-run.sh [--addr A] --hosts NAMES -- COMMAND" >&2; exit 2; }

if [ "${VORN_IN_NETNS:-}" != 1 ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  {
    echo "127.0.0.1 localhost"
    echo "::1 localhost ip6-localhost ip6-loopback"
    [ -n "$hosts" ] && echo "$addr $hosts"
    [ -n "$unreachable" ] && echo "192.0.2.1 $unreachable"
  } > "$work/hosts"
  VORN_IN_NETNS=1 VORN_NETNS_HOSTS_FILE="$work/hosts" unshare --net --mount --propagation private \
    "$0" --addr "$addr" --ethernet "$ether" --hosts "$hosts" -- "$@"
  exit $?
fi

# inside the new namespaces
mount --bind "$VORN_NETNS_HOSTS_FILE" /etc/hosts
ip link set lo up
if [ -n "$ether" ]; then
  # Kernels without the dummy module still have veth; its peer stays in here.
  if ! ip link add vorn0 type dummy 2>/dev/null; then
    ip link add vorn0 type veth peer name vorn1
    ip link set vorn1 up
  fi
  ip addr add "$ether" dev vorn0
  ip link set vorn0 up
fi
case "$addr" in
  127.*) ;;
  *) ip addr add "$addr/32" dev lo 2>/dev/null || true ;;
esac
unset VORN_IN_NETNS VORN_NETNS_HOSTS_FILE
exec "$@"
