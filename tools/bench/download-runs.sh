#!/bin/bash
# Inside the benchmark's namespace, with a server running (vorn-services, or
# one-call-run.sh): curl and the download benchmark fetch the same addresses,
# run after run. VORN_BENCH_SIZES chooses the sizes in MiB (default "16 256");
# VORN_BENCH_SERVER, when set, tags every figure with server=<it>.
#   download-runs.sh RUNS HOST SERVICES_DIR WORK BENCH.exe FIGURES WINE-RUN...
set -uo pipefail
runs=$1 host=$2 svc=$3 work=$4 bench=$5 figures=$6
shift 6
tag=${VORN_BENCH_SERVER:+ server=$VORN_BENCH_SERVER}
winpath() { echo "Z:$(readlink -f "$1" | tr / '\\')"; }
for i in $(seq "$runs"); do
  for mib in ${VORN_BENCH_SIZES:-16 256}; do
    url=https://$host/pkg/bench$mib.bin
    curl -sS --cacert "$svc/ca.pem" -o "$work/curl.bin" \
      -w "curl size=$mib$tag seconds=%{time_total} bytes=%{size_download}\n" "$url" | tee -a "$figures"
    echo "file size=$mib$tag crc=$(python3 -c 'import sys,zlib
c=0
with open(sys.argv[1],"rb") as f:
    for b in iter(lambda: f.read(1<<20), b""): c=zlib.crc32(b,c)
print("%08x"%c)' "$work/curl.bin")" | tee -a "$figures"
    rm -f "$work/curl.bin"
    "$@" "$bench" "--url=$url" "--ca=$(winpath "$svc/ca.pem")" "--target=$(winpath "$work")\\download.bin" \
      "--size=$((mib << 20))" --repeat=1 | tr -d '\r' | sed "s/^download /download size=$mib$tag /" \
      | tee -a "$figures"
    if [ "$mib" = 256 ]; then
      # The wrapper alone, without the window and its debug output: the split.
      "$@" "$bench" "--url=$url" "--ca=$(winpath "$svc/ca.pem")" "--target=$(winpath "$work")\\download.bin" \
        --repeat=1 --plain=1 | tr -d '\r' | grep '^plain ' | sed "s/^plain /plain size=$mib$tag /" \
        | tee -a "$figures"
    fi
  done
done
