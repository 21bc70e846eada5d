#!/usr/bin/env bash
# Prepares the Wine prefix WINEPREFIX for Vintrel: "Courier New" and "Arial"
# replaced by Liberation faces, Wine's Tahoma installed where Wine finds it,
# CJK and emoji glyphs found through font links, and no crash dialog.
#
# The project's own prefixes get it through scripts/wineprefix.sh; the
# Debian package installs it as /usr/lib/vintrel/vintrel-prefix.sh, and its
# launcher runs it on the user's prefix at every start. VINTREL_WINE and
# VINTREL_WINESERVER name Wine's loader and server (default: wine and
# wineserver on the PATH).
#
# Idempotent and quick once done: the settings are applied to a new prefix
# and again to one made by an older version of this script (the stamp file
# names the version), so that every prefix gets a change made here. Raise
# the version with every change.
set -euo pipefail
: "${WINEPREFIX:?names the Wine prefix to prepare}"
export WINEPREFIX
wine=${VINTREL_WINE:-wine}
wineserver=${VINTREL_WINESERVER:-wineserver}
note() { printf '== %s\n' "$*" >&2; }

version=4
stamp="$WINEPREFIX/.vintrel-ready-$version"

# Faces the program asks for (the editor, the grid and the message pane:
# "Courier New"; tabs, dialogs and the status bar: "Tahoma", "MS Shell Dlg";
# the editor's default: "Courier"), their replacements, and the usual
# fallbacks. Glyphs they lack come from WenQuanYi Micro Hei (CJK) and then
# Symbola (emoji and symbols), Debian's fonts-wqy-microhei and fonts-symbola.
# A link names the font file (Wine matches its base name) and the face in it.
linked_faces=("Courier New" "Liberation Mono" "Courier" "Tahoma" "Arial" "Liberation Sans" "MS Shell Dlg"
              "MS Shell Dlg 2" "Microsoft Sans Serif" "MS Sans Serif" "Lucida Console" "Segoe UI")
fallbacks='wqy-microhei.ttc,WenQuanYi Micro Hei\0Symbola_hint.ttf,Symbola'

if [ ! -f "$stamp" ]; then
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    note "creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -i >/dev/null 2>&1 || true
  else
    note "updating the Wine prefix $WINEPREFIX to version $version"
  fi
  reg() { "$wine" reg add "$@" /f >/dev/null 2>&1; }
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /t REG_SZ /d "Liberation Mono"
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v "Arial" /t REG_SZ /d "Liberation Sans"
  # Nobody would answer it under a virtual display, and a user gets the
  # program's own messages instead.
  reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  for face in "${linked_faces[@]}"; do
    reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d "$fallbacks"
  done
  # Wine's own fonts (Tahoma, Marlett for the caption buttons, MS Sans
  # Serif) are not found where Debian puts them: install them in the prefix.
  cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
  "$wineserver" -w
  rm -f "$WINEPREFIX"/.vintrel-ready-*
  touch "$stamp"
fi

# Without a window manager (the tests' virtual display), Wine's managed
# windows wait up to 2 s for one each time a top-level window (a dialog, a
# message box) is hidden; unmanaged windows are Wine's own, as they are
# under Windows. Asked for by VINTREL_UNMANAGED_WINDOWS; otherwise the choice
# is Wine's, for a desktop has a window manager.
if [ -n "${VINTREL_UNMANAGED_WINDOWS:-}" ] && [ ! -f "$WINEPREFIX/.vintrel-unmanaged" ]; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  "$wineserver" -w
  touch "$WINEPREFIX/.vintrel-unmanaged"
fi
