#!/usr/bin/env bash
# Creates the project's own Wine prefix once: "Courier New" replaced by a
# fixed-pitch face, Wine's Tahoma installed where Wine finds it, and no crash
# dialog (nobody would answer it under a virtual display).
set -euo pipefail
source "$(dirname "$0")/common.sh"

if [ ! -f "$WINEPREFIX/.vintrel-ready-3" ]; then
  note "creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /t REG_SZ /d "Liberation Mono" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Arial" /t REG_SZ /d "Liberation Sans" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Wine's own fonts (Tahoma, Marlett for the caption buttons, MS Sans
  # Serif) are not found where Debian puts them: install them in the prefix.
  cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
  wineserver -w
  touch "$WINEPREFIX/.vintrel-ready-3"
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
