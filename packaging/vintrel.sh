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
if ! prepare; then
  echo "vintrel: the Wine prefix $WINEPREFIX could not be prepared" >&2
  exit 1
fi
exec "${VINTREL_WINE:-wine}" "$lib/vintrel.exe.so" "$@"
