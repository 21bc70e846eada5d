#!/usr/bin/env bash
# Sets up the project's own Wine prefix: "Courier New" and "Arial" replaced
# by Liberation faces, Wine's Tahoma installed where Wine finds it, CJK and
# emoji glyphs found through font links, and no crash dialog (nobody would
# answer it under a virtual display).
#
# Idempotent: the settings are applied to a new prefix and again to one made
# by an older version of this script (the stamp file names the version), so
# every prefix (./run's, ./test's, the memory check's, the screenshots')
# gets a change made here. Raise the version with every change.
set -euo pipefail
source "$(dirname "$0")/common.sh"

version=4
stamp="$WINEPREFIX/.vintrel-ready-$version"

# Faces the program asks for (the editor, the grid and the message pane:
# "Courier New"; tabs, dialogs and the status bar: "Tahoma", "MS Shell Dlg";
# the editor's default: "Courier"), their replacements, and the usual
# fallbacks. Glyphs they lack come from WenQuanYi Micro Hei (CJK) and then
# Symbola (emoji and symbols), Debian's fonts-wqy-microhei and fonts-symbola
# (scripts/setup.sh). A link names the font file (Wine matches its base
# name) and the face in it.
linked_faces=("Courier New" "Liberation Mono" "Courier" "Tahoma" "Arial" "Liberation Sans" "MS Shell Dlg"
              "MS Shell Dlg 2" "Microsoft Sans Serif" "MS Sans Serif" "Lucida Console" "Segoe UI")
fallbacks='wqy-microhei.ttc,WenQuanYi Micro Hei\0Symbola_hint.ttf,Symbola'

if [ ! -f "$stamp" ]; then
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    note "creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  else
    note "updating the Wine prefix $WINEPREFIX to version $version"
  fi
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /t REG_SZ /d "Liberation Mono" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Arial" /t REG_SZ /d "Liberation Sans" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  for face in "${linked_faces[@]}"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d "$fallbacks" /f >/dev/null 2>&1
  done
  # Wine's own fonts (Tahoma, Marlett for the caption buttons, MS Sans
  # Serif) are not found where Debian puts them: install them in the prefix.
  cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
  wineserver -w
  rm -f "$WINEPREFIX"/.vintrel-ready-*
  touch "$stamp"
fi

# The tests' virtual display has no window manager. Wine's managed windows
# wait up to 2 s for one each time a top-level window (a dialog, a message
# box) is hidden; unmanaged windows are Wine's own, as they are under
# Windows. ./test asks for them in its prefix; ./run leaves the choice to
# Wine, for the user's desktop has a window manager.
if [ -n "${VINTREL_UNMANAGED_WINDOWS:-}" ] && [ ! -f "$WINEPREFIX/.vintrel-unmanaged" ]; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.vintrel-unmanaged"
fi
