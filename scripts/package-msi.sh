#!/usr/bin/env bash
# package-msi.sh ZIP VERSION MSI: the Windows installer MSI (scripts/
# package-windows.sh makes build-win/vintrel-setup.msi with it), holding what
# the Windows zip holds, for version VERSION (major.minor[.patch]). Built with
# wixl from packaging/vintrel.wxs, which says what it installs and how.
set -euo pipefail
source "$(dirname "$0")/common.sh"

if [ $# -ne 3 ]; then
  echo "usage: $0 ZIP VERSION MSI" >&2
  exit 2
fi
zip=$(realpath "$1")
version=$2
msi=$(realpath -m "$3")
for tool in wixl msibuild; do
  if ! command -v "$tool" >/dev/null; then
    note "$tool is missing (Debian's wixl and msitools; scripts/setup.sh installs them): $msi cannot be made"
    exit 1
  fi
done
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+(\.[0-9]+)?$ ]]; then
  note "the installer's version must be major.minor[.patch], not \"$version\""
  exit 1
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
unzip -q "$zip" -d "$stage"
cp "$VINTREL_ROOT/resources/frame.ico" "$stage/vintrel.ico"
# The installed program's marker (app/SettingsLocation.h), with Windows'
# line ends for whoever opens it.
printf '%s\r\n' \
  "Vintrel was installed into this folder by vintrel-setup.msi. While this" \
  "file is here, Vintrel keeps settings.ini in %APPDATA%\\Vintrel rather than" \
  "in this folder, so that removing or upgrading Vintrel leaves the settings" \
  "alone." >"$stage/installed.txt"
# The templates, whatever they are: one component, its first file the key.
{
  echo '<Include>'
  echo '  <Component Id="Templates" Guid="*" Win64="yes">'
  key=' KeyPath="yes"'
  for template in "$stage"/templates/*.sql; do
    name=$(basename "$template")
    echo "    <File Id=\"template.$name\" Source=\"\$(var.Stage)/templates/$name\"$key/>"
    key=
  done
  echo '  </Component>'
  echo '</Include>'
} >"$stage/templates.wxi"

rm -f "$msi.tmp"
(cd "$stage" && wixl -a x64 -D Version="$version" -D Stage=. -o "$msi.tmp" "$VINTREL_ROOT/packaging/vintrel.wxs") \
  || { note "wixl failed"; exit 1; }
# wixl writes the Upgrade row of the earlier versions without
# VersionMaxInclusive (512), whatever IncludeMaximum says: so a rebuild of
# the same version would be installed beside the one there. The row is a
# primary key, which MSI's SQL cannot update: it is written anew.
# Nor does it give the executable its file version (the one its version
# resource carries), by which Windows Installer compares it with a file
# already there.
upgrade_code=$(msiinfo export "$msi.tmp" Property | tr -d '\r' | awk -F '\t' '$1 == "UpgradeCode" {print $2}')
IFS=. read -r major minor patch <<<"$version"
msibuild "$msi.tmp" \
  -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'OLDER_VINTREL_FOUND'" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
      VALUES ('$upgrade_code', '0.0.0', '$version', 768, 'OLDER_VINTREL_FOUND')" \
  -q "UPDATE \`File\` SET \`Version\` = '$major.$minor.${patch:-0}.0' WHERE \`File\` = 'vintrel.exe'" \
  || { note "msibuild could not mend the Upgrade and File tables"; exit 1; }
mv "$msi.tmp" "$msi"
