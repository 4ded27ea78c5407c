#!/bin/bash
# Runs a command while a squid proxy listens on 127.0.0.1:PORT and reaches the
# given host names at ADDR (its own hosts file), whatever the namespace's hosts
# file says of them.
#   proxy-run.sh DIR --names "NAME..." [--addr 127.0.0.1] [--port 3128]
#                [--refuse-connect] [--auth] -- COMMAND [ARGS...]
# Meant to run inside a namespace of netns-run.sh. DIR receives squid.conf,
# hosts, access.log (one line per request: method, URL, status), cache.log and
# the pid file. --refuse-connect denies every CONNECT (403); --auth asks every
# request for credentials that nobody has (407). The exit code is COMMAND's,
# or 125 when squid did not start within 20 seconds.
set -uo pipefail
source "$(cd "$(dirname "$0")" && pwd)/stop-process.sh"

usage() {
  echo "usage: proxy-run.sh DIR --names NAMES [--addr A] [--port N] [--refuse-connect] [--auth] -- COMMAND" >&2
  exit 2
}

[ $# -ge 1 ] || usage
dir=$1
shift
names="" addr=127.0.0.1 port=3128 refuse=0 auth=0
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    --names) names=$2; shift 2 ;;
    --addr) addr=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --refuse-connect) refuse=1; shift ;;
    --auth) auth=1; shift ;;
    *) usage ;;
  esac
done
[ "${1:-}" = "--" ] || usage
shift
[ $# -ge 1 ] || usage
squid=$(command -v squid || echo /usr/sbin/squid)
[ -x "$squid" ] || { echo "proxy-run.sh: no squid (tools/setup/install-packages.sh installs it)" >&2; exit 125; }

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
rm -f "$dir/access.log" "$dir/cache.log" "$dir/squid.pid"
echo "$addr $names" > "$dir/hosts"
: > "$dir/passwd"
{
  echo "http_port 127.0.0.1:$port"
  echo "visible_hostname vorn-proxy"
  echo "pid_filename $dir/squid.pid"
  echo "cache_log $dir/cache.log"
  echo "logformat vorn %rm %ru %>Hs"
  echo "access_log stdio:$dir/access.log vorn"
  echo "coredump_dir $dir"
  # Nothing kept, nothing asked of the outside: names come from our hosts
  # file, and a name missing there fails at once.
  echo "cache deny all"
  echo "cache_mem 8 MB"
  echo "hosts_file $dir/hosts"
  echo "dns_nameservers 127.0.0.1"
  echo "pinger_enable off"
  echo "netdb_filename none"
  echo "shutdown_lifetime 0 seconds"
  echo "acl tunnel_ports port 443 9186"
  echo "acl CONNECT method CONNECT"
  echo "http_access deny CONNECT !tunnel_ports"
  [ "$refuse" = 1 ] && echo "http_access deny CONNECT"
  if [ "$auth" = 1 ]; then
    echo "auth_param basic program /usr/lib/squid/basic_ncsa_auth $dir/passwd"
    echo "auth_param basic realm vorn-proxy"
    echo "acl known proxy_auth REQUIRED"
    echo "http_access deny !known"
  fi
  echo "http_access allow all"
} > "$dir/squid.conf"
# squid drops to its own user, which writes the logs.
chown -R proxy:proxy "$dir" 2>/dev/null || chmod -R a+rwX "$dir"

"$squid" -N -f "$dir/squid.conf" 2>>"$dir/cache.log" &
pid=$!

stop_squid() {
  vorn_stop_process "$pid"
}
trap 'stop_squid; exit 130' INT TERM

# Listening, seen without connecting (a probe would show in the access log).
ready=0
for _ in $(seq 200); do
  if ss -Hltn "sport = :$port" | grep -q .; then ready=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ "$ready" != 1 ]; then
  echo "proxy-run.sh: squid did not start (see $dir/cache.log)" >&2
  stop_squid
  exit 125
fi

"$@"
rc=$?
stop_squid
exit $rc
