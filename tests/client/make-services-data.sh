#!/bin/bash
# Writes a vorn-services data folder whose catalogue serves a client package to
# a channel (and as the default), at pkg/velto/client.7z.
#   make-services-data.sh DATA_DIR PACKAGE.7z [--channel ID] [--version TEXT]
# Size and CRC are not written: vorn-services computes them from the file.
# Existing files in DATA_DIR other than these two (a CA to reuse) stay.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: make-services-data.sh DATA_DIR PACKAGE.7z [--channel ID] [--version TEXT]" >&2; exit 2; }
data=$1 package=$2
shift 2
channel=vx_pc_000001 version=1.0.0
while [ $# -gt 0 ]; do
  case "$1" in
    --channel) channel=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    *) echo "make-services-data.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -f "$package" ] || { echo "make-services-data.sh: no package at $package" >&2; exit 1; }
mkdir -p "$data/files/pkg/velto"
cp -f "$package" "$data/files/pkg/velto/client.7z.tmp"
mv -f "$data/files/pkg/velto/client.7z.tmp" "$data/files/pkg/velto/client.7z"
cat > "$data/catalogue.json.tmp" <<JSON
{"channels": {"$channel": {"package": "pkg/velto/client.7z", "version": "$version"}},
 "default": {"package": "pkg/velto/client.7z", "version": "$version"}}
JSON
mv -f "$data/catalogue.json.tmp" "$data/catalogue.json"
