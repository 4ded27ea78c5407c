#!/bin/bash
# Runs a fuzz harness once over every file of its corpus folder.
#   replay.sh HARNESS CORPUS_DIR
set -euo pipefail
harness=$1 corpus=$2
files=()
while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$corpus" -type f -print0 | sort -z)
if [ "${#files[@]}" -eq 0 ]; then
  echo "replay.sh: no inputs in $corpus" >&2
  exit 1
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Given files, libFuzzer runs each once and stops at the first failure.
status=0
"$harness" -rss_limit_mb=3072 -malloc_limit_mb=4608 "${files[@]}" > "$log" 2>&1 || status=$?
grep -v '^Running: \|^Executed ' "$log" | tail -n 60
echo "replay.sh: ${#files[@]} inputs, status $status"
exit "$status"
