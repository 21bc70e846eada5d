#!/usr/bin/env bash
# Installs every Debian package that building, testing and running need.
set -euo pipefail
source "$(dirname "$0")/common.sh"

packages=(
  cmake make g++ googletest libgtest-dev
  wine wine64 wine64-tools libwine-dev fonts-wine fonts-liberation
  fonts-wqy-microhei fonts-symbola
  mingw-w64 g++-mingw-w64-x86-64-posix
  mariadb-server mariadb-client libmariadb3 libmariadb-dev
  xvfb xauth xdotool xclip x11-utils imagemagick fp-utils
  zip unzip msitools wixl socat iproute2 openssl xdg-utils python3
  libsecret-1-0 gnome-keyring libsecret-tools dbus dbus-bin
  openssh-client openssh-server
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  note "installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
