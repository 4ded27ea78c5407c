#!/bin/bash
# Two releases from clean copies of the source tree in two folders of
# different paths (tools/release.sh --no-setup, test certificates): the
# unsigned executables must be byte-identical, each signed one must give the
# other's bytes back without its signature, and neither may name its folder.
# The second copy's files get new times and it builds in another time zone, so
# that neither a file's date nor the clock can reach the image.
#   reproducible_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(realpath "$1")
tmp=$(mktemp -d "${TMPDIR:-/tmp}/vorn-release.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0
expect() {  # description command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

copy_tree() {  # to [tar options]: the files of the tree as they are now, without builds
  local to=$1
  shift
  mkdir -p "$to"
  if git -C "$source_dir" rev-parse --git-dir > /dev/null 2>&1; then
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard \
      | tar --null -T - --ignore-failed-read -cf - 2> /dev/null) | tar -xf - -C "$to" "$@"
  else
    (cd "$source_dir" && tar --exclude=./build --exclude=./dist -cf - .) | tar -xf - -C "$to" "$@"
  fi
}

trees=("$tmp/a/src" "$tmp/second/tree-with-a-longer-name/src")
for i in 0 1; do
  t=${trees[$i]}
  if [ "$i" = 0 ]; then
    copy_tree "$t"
    zone=${TZ:-UTC}
  else
    copy_tree "$t" --touch
    zone=XYZ-14  # 14 hours ahead of UTC (a POSIX rule): another date most of the day
  fi
  started=$SECONDS
  if env -u VORN_SIGN_CERT -u VORN_SIGN_KEY TZ="$zone" "$t/tools/release.sh" --no-setup \
    > "$t.log" 2>&1; then
    echo "built in $t ($((SECONDS - started)) s)"
  else
    tail -n 40 "$t.log"
    echo "FAIL: tools/release.sh in $t"
    exit 1
  fi
done

a=${trees[0]} b=${trees[1]}
ua=$a/build/release/win32/bin/VeltoInstaller.exe
ub=$b/build/release/win32/bin/VeltoInstaller.exe
if cmp -s "$ua" "$ub"; then
  echo "ok: the unsigned executables are identical ($(sha256sum < "$ua" | cut -c1-64))"
else
  echo "FAIL: the unsigned executables differ"
  cmp -l "$ua" "$ub" | wc -l | sed 's/^/  bytes that differ: /'
  i686-w64-mingw32-objdump -h "$ua" | awk '$1 ~ /^[0-9]+$/ {print "  " $2, "file offset 0x" $6, "size 0x" $3}'
  cmp -l "$ua" "$ub" | head -n 20 | awk '{printf "  offset 0x%x\n", $1 - 1}'
  failures=$((failures + 1))
fi

unsigned_of() {  # signed out
  osslsigncode remove-signature -in "$1" -out "$2" > /dev/null 2>&1
}
unsigned_of "$a/dist/VeltoInstaller.exe" "$tmp/a-unsigned.exe"
unsigned_of "$b/dist/VeltoInstaller.exe" "$tmp/b-unsigned.exe"
expect "the first release without its signature is the second's build" cmp -s "$tmp/a-unsigned.exe" "$ub"
expect "the second release without its signature is the first's build" cmp -s "$tmp/b-unsigned.exe" "$ua"
for t in "${trees[@]}"; do
  expect "$t: SHA256SUMS holds" bash -c 'cd "$0/dist" && sha256sum --quiet -c SHA256SUMS' "$t"
  expect "$t: the signature verifies" "$t/tools/release/sign.sh" verify "$t/dist/VeltoInstaller.exe" \
    "$t/build/release/test-signing/ca.pem"
  expect "$t: the release says its certificate is a throwaway" grep -q "throwaway TEST" "$t.log"
  expect "$t: third-party.txt names every library" bash -c \
    'for l in openssl cpp-httplib libjsoncpp cjson pugixml 7zip zlib libz-mingw-w64-dev mingw-w64-i686-dev ca-certificates; do grep -q "^$l " "$0" || { echo "  missing $l"; exit 1; }; done' \
    "$t/dist/third-party.txt"
done
# No folder of either tree: not the source, not the build.
for f in "$ua" "$ub"; do
  expect "$f names neither tree's folder" bash -c '! strings -a "$0" | grep -q "$1"' "$f" "$tmp"
  expect "$f names neither tree's folder in UTF-16" bash -c '! strings -a -el "$0" | grep -q "$1"' "$f" "$tmp"
done

[ "$failures" -eq 0 ]
