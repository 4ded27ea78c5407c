# Shared by the Wine helpers: which Windows architectures this machine runs,
# the environment for one of them, and its prefix template.
# Nothing is written outside the root folder given: HOME points into it, so the
# links that Wine makes for the desktop and documents folders cannot reach the
# real home.
#
# Architectures are named after the mingw targets: i686 (32-bit Windows, the
# product's) and x86_64. Some kernels cannot run 32-bit programs at all; there
# only x86_64 works.

# The loaders. Debian's /usr/bin/wine picks the 32-bit loader whenever wine32 is
# installed, even where the kernel cannot run it, so the helpers call the
# loaders themselves. The variables let a test stand in for a loader.
VORN_WINE32_LOADER=${VORN_WINE32_LOADER:-/usr/lib/wine/wine}
VORN_WINE64_LOADER=${VORN_WINE64_LOADER:-/usr/lib/wine/wine64}

vorn_wine_loader() {  # arch
  case "$1" in
    i686) echo "$VORN_WINE32_LOADER" ;;
    x86_64) echo "$VORN_WINE64_LOADER" ;;
    *) echo "wine-env: unknown architecture '$1' (i686 or x86_64)" >&2; return 2 ;;
  esac
}

# The probe: succeeds when Wine for ARCH starts on this machine. A 32-bit loader
# on a kernel without 32-bit emulation fails with "Exec format error".
vorn_wine_can_run() {  # arch
  local loader
  loader=$(vorn_wine_loader "$1") || return 2
  [ -x "$loader" ] && "$loader" --version > /dev/null 2>&1
}

# Why ARCH cannot run, in one phrase, for messages.
vorn_wine_why_not() {  # arch
  local loader out
  loader=$(vorn_wine_loader "$1") || return 2
  if [ ! -x "$loader" ]; then
    echo "$loader is not installed"
    return 0
  fi
  # the shell's own complaint ends in the reason: "...: Exec format error"
  out=$( ("$loader" --version) 2>&1 | head -n1)
  echo "$loader does not start${out:+: ${out##*: }}"
}

# The architecture of a Windows executable, from its PE header.
vorn_pe_arch() {  # file.exe
  local off machine
  off=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$off" ] || return 1
  machine=$(od -An -t x2 -j $((off + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) echo i686 ;;
    8664) echo x86_64 ;;
    *) return 1 ;;
  esac
}

# Environment for running Windows programs of ARCH with prefixes below
# ROOT/ARCH (the architectures never share a prefix). Sets VORN_WINE (the
# loader to run programs with) and VORN_WINE_BASE (the folder of the prefixes).
vorn_wine_env() {  # root arch
  local root=$1 arch=$2
  VORN_WINE=$(vorn_wine_loader "$arch") || return 2
  export VORN_WINE VORN_WINE_ARCH=$arch VORN_WINE_BASE=$root/$arch
  mkdir -p "$VORN_WINE_BASE"
  export HOME=$root/home
  mkdir -p "$HOME"
  if [ "$arch" = i686 ]; then
    export WINEARCH=win32
    unset WINELOADER
  else
    export WINEARCH=win64
    # Wine starts further processes through WINELOADER.
    export WINELOADER=$VORN_WINE
  fi
  export WINEDEBUG=${WINEDEBUG:--all}
  # no menu entries, no Mono or Gecko installers
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  unset WINESERVER
}

# VORN_WINE_LOCALE=NAME (e.g. hi_IN.UTF-8) runs Wine under that Unix locale.
# Wine takes its ANSI code page from it (hi_IN.UTF-8 gives 65001, en_US.UTF-8
# 1252, zh_CN.UTF-8 936; C.UTF-8 1252), and it names files beyond ASCII only
# when glibc has the locale itself: compiled once into ROOT/locale.
vorn_wine_locale() {  # root
  local name=${VORN_WINE_LOCALE:-} dir=$1/locale
  [ -n "$name" ] || return 0
  case "$name" in
    *_*.*) ;;
    *) echo "wine-env: VORN_WINE_LOCALE=$name is no name such as hi_IN.UTF-8" >&2; return 2 ;;
  esac
  mkdir -p "$dir"
  (
    flock 9
    [ -f "$dir/$name/LC_CTYPE" ] && exit 0
    rm -rf "$dir/$name.new"
    # exit code 1 means warnings; the files are there all the same
    localedef -i "${name%%.*}" -f "${name#*.}" "$dir/$name.new" > "$dir/$name.log" 2>&1
    if [ ! -f "$dir/$name.new/LC_CTYPE" ]; then
      echo "wine-env: the locale $name cannot be compiled (the locales package has the sources), see $dir/$name.log" >&2
      exit 1
    fi
    rm -rf "$dir/$name"
    mv "$dir/$name.new" "$dir/$name"
  ) 9> "$dir/.lock" || return 1
  export LOCPATH=$dir
  # bash itself cannot switch to it (it read LOCPATH at start) and would say so
  export LC_ALL=$name LANG=$name 2> /dev/null
}

# Ends every Windows process of a prefix, and its wineserver.
vorn_wine_kill() {  # prefix
  [ -d "$1" ] && WINEPREFIX=$1 wineserver -k > /dev/null 2>&1
  return 0
}

# Display scaling of a prefix that no Wine process uses yet: the DPI that
# Wine's programs take at their start (HKCU\Control Panel\Desktop LogPixels).
vorn_wine_set_dpi() {  # prefix dpi
  local reg=$1/user.reg hex
  hex=$(printf '%08x' "$2") || return 1
  awk -v hex="$hex" '
    /^"LogPixels"=/ && desktop { next }
    { print }
    /^\[/ { desktop = ($0 ~ /^\[Control Panel\\\\Desktop\] /) }
    desktop && /^#time=/ { print "\"LogPixels\"=dword:" hex }
  ' "$reg" > "$reg.new" && mv "$reg.new" "$reg" || return 1
  grep -q "^\"LogPixels\"=dword:$hex" "$reg" || {
    echo "wine-env.sh: no desktop settings in $reg to give DPI $2" >&2
    return 1
  }
}

# Makes $VORN_WINE_BASE/template once: booted prefix, menu builder off, real
# desktop and start-menu folders inside the prefix, and the CJK font replacement.
vorn_wine_template() {
  local base=$VORN_WINE_BASE t=$VORN_WINE_BASE/template
  # a template made by an older version of this file is made again
  local sig
  sig=$({ cat "${BASH_SOURCE[0]}"; echo "$VORN_WINE_ARCH"; } | sha1sum | cut -c1-16)
  (
    flock 9
    [ "$(cat "$t/.ready" 2>/dev/null)" = "$sig" ] && exit 0
    vorn_wine_kill "$t"
    rm -rf "$t"
    if ! WINEPREFIX=$t "$VORN_WINE" wineboot.exe -i > "$base/template.log" 2>&1 \
        || ! WINEPREFIX=$t wineserver -w; then
      echo "wineboot failed for $VORN_WINE_ARCH, see $base/template.log" >&2
      vorn_wine_kill "$t"
      exit 1
    fi
    local u
    for u in "$t"/drive_c/users/*/; do
      local d
      for d in "$u"*; do
        if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
      done
      mkdir -p "$u/Desktop" "$u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    done
    local font=${VORN_CJK_FONT:-WenQuanYi Micro Hei}
    local reg=$base/template-settings.reg
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\r\n"winemenubuilder.exe"=""\r\n\r\n'
      # no window manager runs on the test displays: Wine manages its windows itself
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"微软雅黑"="%s"\r\n"Microsoft YaHei"="%s"\r\n\r\n' "$font" "$font"
    } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    WINEPREFIX=$t "$VORN_WINE" regedit.exe /S "$(printf 'Z:%s' "$reg" | tr / '\\')" >> "$base/template.log" 2>&1
    # The system's dialog fonts have no Chinese characters; link them to the CJK
    # font, as a Chinese Windows does, so that dialogs of the shell read right.
    local f
    for f in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
      WINEPREFIX=$t "$VORN_WINE" reg.exe add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$f" /t REG_MULTI_SZ /d "wqy-microhei.ttc,$font" /f >> "$base/template.log" 2>&1
    done
    WINEPREFIX=$t wineserver -w
    echo "$sig" > "$t/.ready"
  ) 9> "$base/template.lock"
}

# Chooses the architectures to run Windows programs on: WANT is auto (i686
# where this machine runs it, else x86_64), i686, x86_64 or both. Sets
# VORN_ARCHES (space-separated) and VORN_ARCHES_WHY (a phrase for the log);
# fails with a message when this machine cannot run what is asked for.
vorn_choose_arches() {  # want [name of the variable that asked, for messages]
  local want=${1:-auto} asked=${2:-the request} a
  VORN_ARCHES="" VORN_ARCHES_WHY=""
  case "$want" in
    auto)
      if vorn_wine_can_run i686; then
        VORN_ARCHES=i686
        VORN_ARCHES_WHY="this machine runs 32-bit programs, the product's architecture"
      elif vorn_wine_can_run x86_64; then
        VORN_ARCHES=x86_64
        VORN_ARCHES_WHY="this machine cannot run 32-bit programs ($(vorn_wine_why_not i686)); the i686 product is built but runs only where 32-bit programs do"
      else
        echo "This machine can run neither i686 nor x86_64 Windows programs under Wine:" \
             "$(vorn_wine_why_not i686); $(vorn_wine_why_not x86_64)." >&2
        return 1
      fi
      ;;
    i686 | x86_64 | both)
      [ "$want" = both ] && VORN_ARCHES="i686 x86_64" || VORN_ARCHES=$want
      for a in $VORN_ARCHES; do
        if ! vorn_wine_can_run "$a"; then
          echo "$asked asks for $a, but this machine cannot run $a Windows programs: $(vorn_wine_why_not "$a")." >&2
          return 1
        fi
      done
      VORN_ARCHES_WHY="asked for by $asked"
      ;;
    *)
      echo "$asked: '$want' is none of auto, i686, x86_64, both" >&2
      return 2
      ;;
  esac
}

# The build tree of an architecture's Windows configuration.
vorn_arch_preset() {  # arch
  case "$1" in
    i686) echo win32 ;;
    x86_64) echo win64 ;;
    *) return 2 ;;
  esac
}
