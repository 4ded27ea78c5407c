#!/bin/bash
# Inside the benchmark's namespace: serves FOLDER with one-call-server.py on
# port 443, its certificate issued for HOST by the services' test CA, while
# COMMAND runs.
#   one-call-run.sh FOLDER CA_DIR HOST -- COMMAND [ARGS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../testenv/stop-process.sh"
folder=$1 ca=$2 host=$3
shift 3; [ "${1:-}" = "--" ] && shift
tls=$(mktemp -d)
trap 'rm -rf "$tls"' EXIT
openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$host" -keyout "$tls/key.pem" \
  -out "$tls/req.pem" 2> /dev/null
printf 'subjectAltName=DNS:%s\n' "$host" > "$tls/ext"
openssl x509 -req -in "$tls/req.pem" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
  -CAserial "$tls/serial" -days 2 -sha256 -extfile "$tls/ext" -out "$tls/cert.pem" 2> /dev/null
cat "$tls/cert.pem" "$tls/key.pem" > "$tls/server.pem"
python3 "$here/one-call-server.py" "$folder" "$tls/server.pem" 443 "$tls/ready" &
pid=$!
for _ in $(seq 300); do [ -s "$tls/ready" ] && break; kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
[ -s "$tls/ready" ] || { echo "one-call-run.sh: the server did not start" >&2; vorn_stop_process "$pid"; exit 125; }
"$@"
rc=$?
vorn_stop_process "$pid"
exit $rc
