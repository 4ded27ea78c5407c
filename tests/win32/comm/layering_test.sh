#!/bin/bash
# The areas depend one way: util/ knows nothing of ours, comm/ and ui/ build on
# util/ alone, installer/ uses them all. Checks the project includes of each area.
#   layering_test.sh SOURCE_DIR
set -euo pipefail
src=$1
status=0

check() {  # area allowed-areas...
  local area=$1
  shift
  local allowed=("$area" "$@")
  while IFS= read -r line; do
    local file=${line%%:*} target
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' <<<"${line#*:}")
    [ -n "$target" ] || continue
    local ok=0
    for a in "${allowed[@]}"; do
      [ "$target" = "$a" ] && ok=1
    done
    if [ "$ok" = 0 ]; then
      echo "$file includes $target/: ${line#*:}" >&2
      status=1
    fi
  done < <(cd "$src" && grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$area" \
             --include='*.h' --include='*.cpp' || true)
}

check util
check comm util
check ui util
exit $status
