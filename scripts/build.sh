#!/usr/bin/env bash
# Configures and builds the Winelib build (build/) with its Debian package
# (build/vintrel_VERSION_amd64.deb) and, unless
# VINTREL_SKIP_WINDOWS is set, the Windows build (build-win/) with its
# client library (scripts/client-dll.sh) and its package
# (scripts/package-windows.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"
jobs=$(nproc)

if [ ! -f "$VINTREL_BUILD/CMakeCache.txt" ]; then
  CC=winegcc CXX=wineg++ cmake -S "$VINTREL_ROOT" -B "$VINTREL_BUILD" >/dev/null
fi
note "building $VINTREL_BUILD"
# Progress lines are dropped; warnings and errors stay.
quiet() { grep -v -E '^\[ *[0-9]+%\]|^-- ' || true; }
cmake --build "$VINTREL_BUILD" -j "$jobs" 2>&1 | quiet
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
# Made anew each time (a few seconds): a package of an older version would
# otherwise stay beside it.
note "making the Debian package"
rm -f "$VINTREL_BUILD"/vintrel_*.deb
(cd "$VINTREL_BUILD" && cpack -G DEB >/dev/null) || { note "cpack failed"; exit 1; }

if [ -z "${VINTREL_SKIP_WINDOWS:-}" ]; then
  if [ ! -f "$VINTREL_BUILD_WIN/CMakeCache.txt" ]; then
    cmake -S "$VINTREL_ROOT" -B "$VINTREL_BUILD_WIN" \
      -DCMAKE_TOOLCHAIN_FILE="$VINTREL_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  note "building $VINTREL_BUILD_WIN"
  cmake --build "$VINTREL_BUILD_WIN" -j "$jobs" 2>&1 | quiet
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
  "$VINTREL_ROOT/scripts/client-dll.sh" || exit 1
  "$VINTREL_ROOT/scripts/package-windows.sh" || exit 1
fi
