#!/bin/sh
# /usr/bin/vintrel of the Debian package: runs /usr/lib/vintrel/vintrel.exe.so
# under Wine in the user's own prefix,
# ${XDG_DATA_HOME:-~/.local/share}/vintrel/wineprefix, made (or brought up
# to date) by vintrel-prefix.sh before the program starts: the first start
# takes some seconds more. No database server is started: the program
# connects to the servers the user names.
#
# VINTREL_PACKAGE_ROOT: the directory the package was unpacked into
# (dpkg -x PACKAGE ROOT) when it is not installed, to try it out as it is.
set -eu
lib="${VINTREL_PACKAGE_ROOT:-}/usr/lib/vintrel"

data=${XDG_DATA_HOME:-}
case "$data" in
/*) ;;
*) data="${HOME:?"neither XDG_DATA_HOME nor HOME is set"}/.local/share" ;;
esac
# The prefix will hold settings.ini, with a password when the user asks for
# it: the folder is the user's alone.
[ -d "$data/vintrel" ] || mkdir -p -m 700 "$data/vintrel"
export WINEPREFIX="$data/vintrel/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# "Start local server" starts the embedded server of a source tree's ./run
# only; an installed program leaves the machine's servers alone.
unset VINTREL_EMBEDDED_SERVER
# No Mono or Gecko installer asked for in the new prefix, and no menu
# entries of Wine's own programs added to the desktop's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Debian's wine64 package holds the 64-bit loader, which needs no "wine"
# package beside it; elsewhere, Wine on the PATH.
if [ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wineserver ]; then
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
  export VINTREL_WINE=$WINELOADER VINTREL_WINESERVER=$WINESERVER
fi

# Two starts at once would both make the new prefix.
prepare() {
  if command -v flock >/dev/null 2>&1; then
    flock "$data/vintrel/.wineprefix.lock" "$lib/vintrel-prefix.sh"
  else
    "$lib/vintrel-prefix.sh"
  fi
}
# Wine draws at its own scale (96 DPI unless told), whatever the desktop's:
# on the first start the new prefix takes the desktop's, from Xft.dpi where
# the X resources set it, so that the program is as sharp and as large as
# the user's other programs. Later changes are the user's (README).
desktop_dpi() {
  command -v xrdb >/dev/null 2>&1 || return 1
  xrdb -query 2>/dev/null | awk '$1 == "Xft.dpi:" { printf "%d\n", $2 + 0.5; exit }'
}
take_desktop_scale() {
  dpi=$(desktop_dpi) || return 0
  case "$dpi" in
  '' | *[!0-9]*) return 0 ;;
  esac
  # A value outside what a screen has is a mistake of the resources.
  [ "$dpi" -ge 72 ] && [ "$dpi" -le 480 ] && [ "$dpi" -ne 96 ] || return 0
  "${VINTREL_WINE:-wine}" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || return 0
  # Wine reads the scale when its server starts.
  "${VINTREL_WINESERVER:-wineserver}" -w
}
first_start=
[ -f "$WINEPREFIX/system.reg" ] || first_start=1
if ! prepare; then
  echo "vintrel: the Wine prefix $WINEPREFIX could not be prepared" >&2
  exit 1
fi
[ -z "$first_start" ] || take_desktop_scale
exec "${VINTREL_WINE:-wine}" "$lib/vintrel.exe.so" "$@"
