#!/bin/bash
# Runs the benchmarks and prints a table of figures: the installer's own code
# under Wine against native references on the same data, side by side.
#   run-benchmarks.sh [--runs N] [--arch auto|i686|x86_64] [--only LIST]
# LIST is a comma-separated choice of download, crc, extract, install, sizes,
# window (default: all). Builds what is missing; the data (random files, a
# 1 GiB package) goes to <tree>/bench/, which later runs reuse. The raw
# figures stay in <tree>/bench/figures.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
testenv=$repo/tools/testenv
source "$testenv/wine-env.sh"

runs=5 want=${VORN_BENCH_ARCH:-auto} only=download,crc,extract,install,sizes,window
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --arch) want=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: run-benchmarks.sh [--runs N] [--arch auto|i686|x86_64] [--only LIST]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 1 ] 2>/dev/null || { echo "run-benchmarks.sh: --runs needs a number" >&2; exit 2; }
wanted() { [[ ",$only," == *",$1,"* ]]; }

vorn_choose_arches "$want" "run-benchmarks.sh" || exit 1
arch=${VORN_ARCHES%% *}
tree=$repo/build/$(vorn_arch_preset "$arch")
echo "run-benchmarks.sh: $arch Windows programs ($VORN_ARCHES_WHY)"

# Builds what is missing: the trees, the benchmark programs, the large package.
if [ ! -f "$tree/build.ninja" ] || [ ! -x "$repo/build/host/bin/vorn-services" ]; then
  extra=(); [ "$arch" = x86_64 ] && extra=(x86_64)
  "$repo/tools/build.sh" "${extra[@]}"
fi
cmake --build "$repo/build/host" > /dev/null
cmake --build "$tree" --target VeltoInstaller download_bench crc_bench extract_bench \
  window_benchmark vorn-e2e-agent vorn-client-stub vorn-urlrecorder vorn_client_package_large

bin=$tree/bin
work=$tree/bench
mkdir -p "$work"
figures=$work/figures.txt
: > "$figures"
config=$tree/e2e-config.json
hosts=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["all_hosts"])' "$config")
host=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["hosts"]["green"])' "$config")
wine=("$testenv/wine-run.sh" --arch "$arch" --root "$tree/wine")
winpath() { echo "Z:$(readlink -f "$1" | tr / '\\')"; }

# Incompressible files of exact sizes, made once.
data_file() {  # MiB
  local f=$work/data-$1.bin
  if [ ! -f "$f" ] || [ "$(stat -c %s "$f")" != $(($1 << 20)) ]; then
    head -c $(($1 << 20)) /dev/urandom > "$f.tmp" && mv "$f.tmp" "$f"
  fi
  echo "$f"
}

if wanted download; then
  echo "== download: the wrapper in the progress window against curl -o, 16 and 256 MiB"
  svc=$work/services
  rm -rf "$svc"
  mkdir -p "$svc/files/pkg"
  echo '{"channels": {}}' > "$svc/catalogue.json"
  for mib in 16 256; do
    ln -f "$(data_file $mib)" "$svc/files/pkg/bench$mib.bin"
  done
  # Inside the namespace: curl and the benchmark take turns, run by run.
  VORN_SERVICES=$repo/build/host/bin/vorn-services VORN_SERVICES_LOG=$work/services.log \
  WINEDEBUG=-all VORN_WINE_FRESH=1 VORN_WINE_DISPLAY=1 VORN_WINE_TIMEOUT=900 \
    "$testenv/netns-run.sh" --hosts "$hosts" -- \
    "$testenv/services-run.sh" "$svc" --hosts "$hosts" -- \
    "$here/download-runs.sh" "$runs" "$host" "$svc" "$work" "$bin/download_bench.exe" \
      "$figures" "${wine[@]}"
  echo "== download: the same against a server that writes the whole body in one call, 256 MiB"
  VORN_BENCH_SERVER=onecall VORN_BENCH_SIZES=256 \
  WINEDEBUG=-all VORN_WINE_FRESH=1 VORN_WINE_DISPLAY=1 VORN_WINE_TIMEOUT=900 \
    "$testenv/netns-run.sh" --hosts "$hosts" -- \
    "$here/one-call-run.sh" "$svc/files" "$svc" "$host" -- \
    "$here/download-runs.sh" "$runs" "$host" "$svc" "$work" "$bin/download_bench.exe" \
      "$figures" "${wine[@]}"
fi

if wanted crc; then
  echo "== crc: FileCrc32 against zlib's crc32, 256 MiB"
  WINEDEBUG=-all "${wine[@]}" "$bin/crc_bench.exe" "--file=$(winpath "$(data_file 256)")" \
    --repeat="$runs" | tr -d '\r' | tee -a "$figures"
fi

if wanted extract; then
  large=$tree/client/client-large.7z
  echo "== extract: ExtractArchive against 7z x, $(($(stat -c %s "$large") >> 20)) MiB package"
  out=$work/unpacked
  # Run by run, 7z and ExtractArchive take turns, so that both meet the same load.
  for i in $(seq "$runs"); do
    rm -rf "$out"; mkdir -p "$out"
    /usr/bin/time -f 'native7z seconds=%e maxrss_kib=%M' -a -o "$figures" \
      7z x -y -bd -bso0 -bsp0 "-o$out" "$large"
    tail -n1 "$figures"
    if [ "$i" = 1 ]; then
      echo "unpacked package=large bytes=$(find "$out" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')" \
        | tee -a "$figures"
    fi
    rm -rf "$out"
    WINEDEBUG=-all "${wine[@]}" "$bin/extract_bench.exe" "--archive=$(winpath "$large")" \
      "--out=$(winpath "$work")\\unpacked" --repeat=1 | tr -d '\r' | grep '^extract ' \
      | sed 's/^extract /extract package=large /' | tee -a "$figures"
  done

  # A 1 GiB package of the same shape, for the memory bound of the 32-bit build.
  giant=$work/client-1g.7z
  if [ ! -f "$giant" ]; then
    echo "making a 1 GiB package (once)"
    "$repo/tests/client/pack-client.sh" "$giant" "$work/stage-1g" "$tree/client/bin/vorn.exe" \
      "$tree/client/bin/Uninstaller.exe" 1.0.0 1024
    chmod -R u+w "$work/stage-1g"; rm -rf "$work/stage-1g"
  fi
  echo "== extract: peak memory for a $(($(stat -c %s "$giant") >> 20)) MiB package"
  echo "dictionary package=1g bytes=$(python3 "$here/dictionary-size.py" "$giant")" | tee -a "$figures"
  WINEDEBUG=-all "${wine[@]}" "$bin/extract_bench.exe" "--archive=$(winpath "$giant")" \
    "--out=$(winpath "$work")\\unpacked" --repeat="$runs" | tr -d '\r' | grep '^extract ' \
    | sed 's/^extract /extract package=1g /' | tee -a "$figures"
fi

if wanted install; then
  # A package of mixed data: 48 MiB random, 56 MiB text, about 64 MiB packed.
  mixed=$work/mixed
  if [ ! -f "$mixed/client.7z" ]; then
    echo "making the mixed package (once)"
    mkdir -p "$mixed"
    "$repo/tests/client/pack-client.sh" "$mixed/client.7z" "$work/stage-mixed" "$tree/client/bin/vorn.exe" \
      "$tree/client/bin/Uninstaller.exe" 1.0.0 48 56
    chmod -R u+w "$work/stage-mixed"; rm -rf "$work/stage-mixed"
  fi
  echo "== install: a whole fresh installation of the $(($(stat -c %s "$mixed/client.7z") >> 20)) MiB mixed package under Wine, against curl + 7z x"
  # The harness's own configuration, serving the mixed package instead.
  python3 - "$config" "$mixed" "$work/e2e-config-large.json" <<'PY'
import json, os, sys
c = json.load(open(sys.argv[1]))
c["client_folder"] = sys.argv[2]
c["client_package"] = os.path.join(sys.argv[2], "client.7z")
json.dump(c, open(sys.argv[3], "w"), ensure_ascii=False)
PY
  svc=$work/services-mixed
  rm -rf "$svc"; mkdir -p "$svc/files/pkg"
  echo '{"channels": {}}' > "$svc/catalogue.json"
  ln -f "$mixed/client.7z" "$svc/files/pkg/client.7z"
  for i in $(seq "$runs"); do
    # The reference in the same run: curl from vorn-services, then 7z x.
    VORN_SERVICES=$repo/build/host/bin/vorn-services VORN_SERVICES_LOG=$work/services.log \
      "$testenv/netns-run.sh" --hosts "$hosts" -- \
      "$testenv/services-run.sh" "$svc" --hosts "$hosts" -- \
      bash -c 'out=$3/fetched; rm -rf "$out" "$3/fetched.7z"; mkdir -p "$out"; s=$(date +%s.%N)
        curl -sS --cacert "$2/ca.pem" -o "$3/fetched.7z" "https://$1/pkg/client.7z" &&
        7z x -y -bd -bso0 -bsp0 "-o$out" "$3/fetched.7z" &&
        awk -v a="$s" -v b="$(date +%s.%N)" "BEGIN { printf \"fetchunpack seconds=%.3f\\n\", b - a }"; rm -rf "$out" "$3/fetched.7z"' \
      _ "$host" "$svc" "$work" | tee -a "$figures"
    python3 "$repo/tests/e2e/run_scenario.py" "$work/e2e-config-large.json" \
      "$here/large_install.toml" --keep > "$work/install.log" 2>&1 || true
    python3 "$here/install-time.py" "$tree/e2e/large_install" "$work/install.log" \
      | tee -a "$figures"
  done
fi

if wanted sizes; then
  echo "== sizes: where the bytes of VeltoInstaller.exe go (KiB, from the linker's map)"
  python3 "$here/size-map.py" "$tree/VeltoInstaller.map" "$bin/VeltoInstaller.exe"
  python3 "$here/size-map.py" --figures "$tree/VeltoInstaller.map" >> "$figures"
  echo "size installer_bytes=$(stat -c %s "$bin/VeltoInstaller.exe") skin_bytes=$(stat -c %s "$tree/generated/res/skin.zip")" \
    | tee -a "$figures"
fi

if wanted window; then
  echo "== window: the check window's animation"
  for i in $(seq "$runs"); do
    WINEDEBUG=-all VORN_WINE_DISPLAY=1 "${wine[@]}" "$bin/window_benchmark.exe" 10 | tr -d '\r' \
      | python3 "$here/window-figures.py" | tee -a "$figures"
  done
fi

python3 "$here/bench_table.py" "$figures" "$runs" "$arch"
