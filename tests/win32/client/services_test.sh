#!/bin/bash
# The build's services data folder, served by vorn-services in a namespace of its
# own: the client-version answer for the channel names the package with its
# real size and CRC-32, and the announced address delivers the same bytes.
#   services_test.sh DATA_TEMPLATE WORK_DIR PACKAGE.7z CHANNEL VERSION "HOSTS" API_HOST
set -euo pipefail
template=$1 work=$2 package=$3 channel=$4 version=$5 hosts=$6 api=$7
testenv=$(cd "$(dirname "$0")/../../../tools/testenv" && pwd)

if [ "${VORN_IN_SERVICES_TEST:-}" != 1 ]; then
  rm -rf "$work"
  mkdir -p "$(dirname "$work")"
  # The server writes into its data folder; the build's copy stays as it is.
  cp -a "$template" "$work"
  export VORN_IN_SERVICES_TEST=1 VORN_SERVICES_LOG=$work/services.log
  exec "$testenv/netns-run.sh" --hosts "$hosts" -- \
    "$testenv/services-run.sh" "$work" --hosts "$hosts" -- "$0" "$@"
fi

body=$(printf '{\t"clientType": 4,\t"channelNo" : "%s" }' "$channel")
answer=$(curl -sS --cacert "$work/ca.pem" -H 'Content-Type: application/json' \
  --data-binary "$body" "https://$api/api/v1/sys/getClientVersion")
echo "answer: $answer"
url=$(python3 - "$package" "$version" "$answer" <<'PY'
import json, os, sys, zlib
package, version, answer = sys.argv[1], sys.argv[2], json.loads(sys.argv[3])
data = open(package, "rb").read()
d = answer["data"]
problems = []
if answer.get("success") is not True: problems.append("success is not true")
if d["apkSize"] != str(len(data)): problems.append("apkSize %s, file %d" % (d["apkSize"], len(data)))
if d["crc"] != str(zlib.crc32(data)): problems.append("crc %s, file %d" % (d["crc"], zlib.crc32(data)))
if d["clientVersion"] != version: problems.append("clientVersion %s" % d["clientVersion"])
if not d["downloadUrl"].endswith("/pkg/velto/client.7z"): problems.append("url %s" % d["downloadUrl"])
if problems: sys.exit("FAIL: " + "; ".join(problems))
print(d["downloadUrl"])
PY
)
curl -sS --cacert "$work/ca.pem" -o "$work/downloaded.7z" "$url"
cmp "$package" "$work/downloaded.7z"
echo "served ok: $url"
