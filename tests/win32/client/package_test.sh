#!/bin/bash
# The client package as 7-Zip lists it: solid, LZMA2 everywhere, the x86 filter
# on the executables only, the nested data file, the read-only attribute, a
# file list that names exactly the archive's files, and data that tests whole.
#   package_test.sh PACKAGE.7z [MIN_MIB]
set -uo pipefail
pkg=$1 min_mib=${2:-0}
fail=0
bad() { echo "FAIL: $*"; fail=1; }

listing=$(7z l -slt "$pkg") || { echo "FAIL: 7z cannot list $pkg"; exit 1; }
7z t "$pkg" > /dev/null || bad "7z t reports errors"

# Archive properties come before the first "----------" line.
head_part=$(sed '/^----------$/q' <<< "$listing")
grep -qx 'Solid = +' <<< "$head_part" || bad "not solid"
grep -qx 'Type = 7z' <<< "$head_part" || bad "not a 7z archive"

declare -A method attrib
files=()
path=""
while IFS= read -r line; do
  case "$line" in
    "Path = "*) path=${line#Path = } ;;
    "Attributes = "*) attrib[$path]=${line#Attributes = } ;;
    "Method = "*) method[$path]=${line#Method = } ;;
  esac
done < <(sed '1,/^----------$/d' <<< "$listing")

for p in "${!attrib[@]}"; do
  a=${attrib[$p]%% *}
  [[ $a == *D* ]] && continue
  files+=("$p")
  m=${method[$p]}
  [[ $m == *LZMA2* ]] || bad "$p: method '$m' is not LZMA2"
  case "$p" in
    *.exe) [[ " $m " == *" BCJ "* ]] || bad "$p: no x86 (BCJ) filter in '$m'" ;;
    *) [[ $m == *BCJ* ]] && bad "$p: the x86 filter is for executables, got '$m'" ;;
  esac
  if [ "$p" = bin/version.txt ]; then
    [[ $a == *R* ]] || bad "$p: attributes '$a' lack read-only"
  else
    [[ $a == *R* ]] && bad "$p: unexpected read-only attribute '$a'"
  fi
done

for need in vorn.exe Uninstaller.exe bin/data/x.dat bin/version.txt install.lst; do
  [ -n "${attrib[$need]:-}" ] || bad "no entry $need"
done
[[ ${attrib[bin/data]:-} == D* ]] || bad "bin/data is not stored as a folder"

listed=$(7z x -so "$pkg" install.lst | tr -d '\r' | LC_ALL=C sort)
actual=$(printf '%s\n' "${files[@]}" | LC_ALL=C sort)
[ "$listed" = "$actual" ] || { bad "install.lst differs from the archive's files"; diff <(echo "$listed") <(echo "$actual"); }

if [ "$min_mib" -gt 0 ]; then
  total=$(awk -F' = ' '/^Size = /{s+=$2} END{print s}' < <(sed '1,/^----------$/d' <<< "$listing"))
  [ "$total" -ge $((min_mib << 20)) ] || bad "unpacked size $total is below $min_mib MiB"
  size=$(stat -c %s "$pkg")
  [ "$size" -ge $((min_mib << 20)) ] || bad "package of $size bytes: the data is not incompressible"
fi

[ $fail = 0 ] && echo "package ok: ${#files[@]} files"
exit $fail
