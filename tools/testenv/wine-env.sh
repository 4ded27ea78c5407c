# Shared by the Wine helpers: the environment and the prefix template.
# Nothing is written outside $root: HOME points into it, so the links that Wine
# makes for the desktop and documents folders cannot reach the real home.

vorn_wine_env() {  # root
  export HOME=$1/home
  mkdir -p "$HOME"
  export WINEARCH=win32
  export WINEDEBUG=${WINEDEBUG:--all}
  # no menu entries, no Mono or Gecko installers
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  unset WINELOADER WINESERVER
}

# Makes $root/template once: booted prefix, menu builder off, real desktop and
# start-menu folders inside the prefix, and the CJK font replacement.
vorn_wine_template() {  # root
  local root=$1 t=$1/template
  # a template made by an older version of this file is made again
  local sig
  sig=$(cat "${BASH_SOURCE[0]}" | sha1sum | cut -c1-16)
  (
    flock 9
    [ "$(cat "$t/.ready" 2>/dev/null)" = "$sig" ] && exit 0
    rm -rf "$t"
    WINEPREFIX=$t wineboot -i > "$root/template.log" 2>&1 || { echo "wineboot failed, see $root/template.log" >&2; exit 1; }
    WINEPREFIX=$t wineserver -w
    local u
    for u in "$t"/drive_c/users/*/; do
      local d
      for d in "$u"*; do
        if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
      done
      mkdir -p "$u/Desktop" "$u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
    done
    local font=${VORN_CJK_FONT:-WenQuanYi Micro Hei}
    local reg=$root/template-settings.reg
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\r\n"winemenubuilder.exe"=""\r\n\r\n'
      # no window manager runs on the test displays: Wine manages its windows itself
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"微软雅黑"="%s"\r\n"Microsoft YaHei"="%s"\r\n\r\n' "$font" "$font"
    } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    WINEPREFIX=$t wine regedit /S "$(printf 'Z:%s' "$reg" | tr / '\\')" >> "$root/template.log" 2>&1
    WINEPREFIX=$t wineserver -w
    echo "$sig" > "$t/.ready"
  ) 9> "$root/template.lock"
}
