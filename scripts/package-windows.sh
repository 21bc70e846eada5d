#!/usr/bin/env bash
# build-win/vintrel-windows.zip: what a Windows user unpacks and runs, the
# executable with its client library, templates, help and a readme; and
# build-win/vintrel-setup.msi, the installer of the same files
# (scripts/package-msi.sh). Made only together with the client library
# (scripts/client-dll.sh): without it the program could not connect
# anywhere.
set -euo pipefail
source "$(dirname "$0")/common.sh"

zip="$VINTREL_BUILD_WIN/vintrel-windows.zip"
msi="$VINTREL_BUILD_WIN/vintrel-setup.msi"
dll="$VINTREL_BUILD_WIN/libmysql.dll"
if [ ! -f "$dll" ]; then
  note "no $dll: $zip and $msi are not made"
  rm -f "$zip" "$msi"
  exit 0
fi
# The build's version, as CMake wrote it from the project's.
version=$(sed -n 's/^#define VINTREL_VERSION_TEXT "\(.*\)"$/\1/p' "$VINTREL_BUILD_WIN/version.h")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$VINTREL_BUILD_WIN/vintrel.exe" "$dll" "$VINTREL_BUILD_WIN/vrl.chm" "$stage/"
cp -r "$VINTREL_BUILD_WIN/templates" "$stage/"
rm -f "$stage"/templates/.[!.]*
# The build keeps its debug information (RelWithDebInfo); users get none.
x86_64-w64-mingw32-strip --strip-debug "$stage/vintrel.exe"
source_name=$(cat "$dll.source" 2>/dev/null || echo "mariadb")
# Notepad before Windows 10 shows a file of bare line feeds as one line.
sed -e "s|@SOURCE@|$source_name|" -e 's/$/\r/' "$VINTREL_ROOT/scripts/windows-readme.txt" >"$stage/README.txt"
# Made anew each time, so that nothing stale stays in it.
rm -f "$zip.tmp"
(cd "$stage" && zip -qrX "$zip.tmp" vintrel.exe libmysql.dll vrl.chm README.txt templates)
mv "$zip.tmp" "$zip"
"$VINTREL_ROOT/scripts/package-msi.sh" "$zip" "$version" "$msi"
