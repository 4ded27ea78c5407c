#!/bin/bash
# Builds the fuzz tree and runs each harness in turn, one at a time, until it
# has made FUZZ_RUNS executions (default 1,000,000) or FUZZ_SECONDS have
# passed (default 600), then prints a table: executions, coverage (cov, ft)
# and crashes. Inputs that crash are kept in build/fuzz/artifacts/<harness>;
# copy each into tests/fuzz/corpus/<harness>/ once fixed, so that the test
# suite replays it. The corpus grown by a run stays in build/fuzz/work.
#   run-fuzzers.sh [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${FUZZ_RUNS:-1000000}
seconds=${FUZZ_SECONDS:-600}

if [ ! -f build/fuzz/CMakeCache.txt ]; then
  cmake --preset fuzz > /dev/null
fi
cmake --build build/fuzz

harnesses=("$@")
if [ "${#harnesses[@]}" -eq 0 ]; then
  for f in tests/fuzz/fuzz_*.cpp; do
    h=${f#tests/fuzz/fuzz_}
    harnesses+=("${h%.cpp}")
  done
fi

# A declared size the allocator cannot serve is a failed allocation, as in a
# 32-bit process; a real leak or overflow still stops the run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
table=()
status=0
for h in "${harnesses[@]}"; do
  bin=build/fuzz/bin/fuzz_$h
  work=build/fuzz/work/$h
  artifacts=build/fuzz/artifacts/$h
  log=build/fuzz/logs/$h.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  echo "run-fuzzers: $h ($runs executions or $seconds s)"
  started=$SECONDS
  result=0
  "$bin" -runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
         -malloc_limit_mb=4608 -print_final_stats=1 -artifact_prefix="$artifacts/" \
         "$work" "tests/fuzz/corpus/$h" > "$log" 2>&1 || result=$?
  execs=$(awk '/stat::number_of_executed_units:/ {print $2}' "$log" | tail -n1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | awk '{print $2}')
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n1 | awk '{print $2}')
  crashes=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'oom-*' -o -name 'leak-*' \
            -o -name 'timeout-*' \) | wc -l)
  [ "$result" -eq 0 ] || status=1
  table+=("$(printf '%-16s %12s %8s %8s %8s %6ss %s' "$h" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
             "$crashes" "$((SECONDS - started))" "$([ "$result" -eq 0 ] || echo "exit $result, see $log")")")
done

printf '\n%-16s %12s %8s %8s %8s %7s\n' harness executions cov ft crashes time
printf '%s\n' "${table[@]}"
exit "$status"
