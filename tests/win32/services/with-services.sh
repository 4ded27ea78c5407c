#!/bin/bash
# Runs a command inside a network namespace whose vendor host names reach a
# fresh vorn-services with a small catalogue and package.
#   with-services.sh DATA_DIR "HOSTS" [--zh] [--no-server] [--ethernet CIDR]
#                    [vorn-services options] -- COMMAND [ARGS...]
# --zh runs COMMAND under a Chinese locale (generated into the build tree when
# the system has none), so that Wine's ANSI code page is 936.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
testenv=$(cd "$here/../../../tools/testenv" && pwd)

data=$1 hosts=$2
shift 2
zh=0 server=1 netns_opts=() opts=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    --zh) zh=1; shift ;;
    --no-server) server=0; shift ;;
    --ethernet) netns_opts+=(--ethernet "$2"); shift 2 ;;
    *) opts+=("$1"); shift ;;
  esac
done
[ "${1:-}" = "--" ] || { echo "with-services.sh: missing -- COMMAND" >&2; exit 2; }
shift

rm -rf "$data"
mkdir -p "$data/files/pkg/velto"
printf 'velto client package' > "$data/files/pkg/velto/client.7z"
cat > "$data/catalogue.json" <<'JSON'
{"channels": {"vx_pc_000001": {"package": "pkg/velto/client.7z", "version": "1.0.0"},
              "渠道": {"package": "pkg/velto/client.7z", "version": "2.0.0"}},
 "default": {"package": "pkg/velto/client.7z", "version": "0.9.0"}}
JSON
printf '{"guid":"cafe-0001","bar_charge":{"charge_type":"hour","charge_id":"c7"},"bar_manage":{"manage_type":"m","manage_id":"42"}}' \
  > "$data/cafe.json"

if [ "$zh" = 1 ]; then
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    locales=$(dirname "$data")/locale
    if [ ! -d "$locales/zh_CN.UTF-8" ]; then
      mkdir -p "$locales"
      localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" || true
    fi
    export LOCPATH=$locales
  fi
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
fi

if [ "$server" = 0 ]; then
  exec "$testenv/netns-run.sh" "${netns_opts[@]}" --hosts "$hosts" -- "$@"
fi
export VORN_SERVICES_LOG=$data/services.log
exec "$testenv/netns-run.sh" "${netns_opts[@]}" --hosts "$hosts" -- \
  "$testenv/services-run.sh" "$data" --hosts "$hosts" "${opts[@]}" -- "$@"
