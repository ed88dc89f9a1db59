# Wine for the Windows scripts, sourced by them: where wine64 lives, quiet and repeatable
# settings, and prefixes made once and then copied.

# No debug chatter; no offer to install Mono or Gecko, which would open windows of their own.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Debian's wine64 package keeps its loader out of PATH; the 32-bit loader, for the i686
# release, comes from wine32:i386 and runs in the same 64-bit prefix.
WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINE32=/usr/lib/wine/wine
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# wine_make_prefix DIR [null]
# Boots a new prefix. With "null" it gets Wine's null display driver, under which windows,
# menus and drawing work without any X display. Its server is stopped before any window
# opens: the desktop of a headless boot would otherwise swallow the next window.
wine_make_prefix() {
  local dir=$1 display=${2:-}
  WINEPREFIX=$dir DISPLAY= "$WINE64" wineboot --init >/dev/null 2>&1
  if [ "$display" = null ]; then
    WINEPREFIX=$dir "$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
      >/dev/null 2>&1
  fi
  WINEPREFIX=$dir "$WINESERVER" -k >/dev/null 2>&1 || true
  WINEPREFIX=$dir "$WINESERVER" -w
}

# wine_ensure_prefix DIR [null]
# Makes the prefix unless it is already there; callers running side by side wait for the
# first one to finish it.
wine_ensure_prefix() {
  local dir display=${2:-}
  mkdir -p "$(dirname "$1")"
  # Wine takes only absolute prefix paths.
  dir=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  (
    flock 9
    if [ ! -e "$dir/.quillmarsh-ready" ]; then
      rm -rf "$dir"
      wine_make_prefix "$dir" "$display"
      touch "$dir/.quillmarsh-ready"
    fi
  ) 9>"$dir.lock"
}
