#!/usr/bin/env bash
# The Windows build's client library: MariaDB Connector/C, cross-built with
# mingw-w64 from Debian's own source package of MariaDB, installed beside the
# executable as build-win/libmysql.dll (the name the program loads).
#
# The library is built once per source version and kept outside the clone,
# in ${XDG_CACHE_HOME:-~/.cache}/vintrel/client-dll/VERSION/, so later builds
# and fresh clones reuse it. When the source cannot be had (no network, no
# root), this says so and exits 0: the rest of the build and the tests go on,
# and the tests that need the library skip.
set -uo pipefail
source "$(dirname "$0")/common.sh"

target="$VINTREL_BUILD_WIN/libmysql.dll"
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/vintrel/client-dll"
sources_file=/etc/apt/sources.list.d/vintrel-debian-src.sources

unavailable() {
  note "no Windows client library: $*"
  note "build-win/libmysql.dll is not made; the Windows end-to-end tests will skip"
  exit 0
}

# install_dll DLL VERSION: the library beside the executable, and beside it
# the source it came from (for the package's readme).
install_dll() {
  cmp -s "$1" "$target" || cp "$1" "$target" || exit 1
  echo "mariadb $2" >"$target.source"
}

# Whether apt already has a source entry for that URI and bookworm, in
# either format.
has_source_entry() {
  local uri=$1
  grep -qsE "^[[:space:]]*deb-src[[:space:]]+(\[[^]]*\][[:space:]]+)?${uri%/}/?[[:space:]]+bookworm[[:space:]]" \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list && return 0
  awk -v uri="$uri" '
    function flush() {
      if (types ~ /(^| )deb-src( |$)/ && suites ~ /(^| )bookworm( |$)/ && uris ~ ("(^| )" uri "/?( |$)")) found = 1
      types = suites = uris = ""
    }
    /^[[:space:]]*$/ { flush(); next }
    /^Types:/  { sub(/^Types:[[:space:]]*/, ""); types = $0 }
    /^Suites:/ { sub(/^Suites:[[:space:]]*/, ""); suites = $0 }
    /^URIs:/   { sub(/^URIs:[[:space:]]*/, ""); uris = $0 }
    END { flush(); exit !found }
  ' /etc/apt/sources.list.d/*.sources 2>/dev/null
}

# The URI and Signed-By of the binary entry for Debian's bookworm archive,
# from the deb822 files, as "URI KEYRING".
binary_entry() {
  awk '
    function flush() {
      if (types ~ /(^| )deb( |$)/ && suites ~ /(^| )bookworm( |$)/ && uri != "" && !done) {
        print uri, key; done = 1
      }
      types = suites = uri = key = ""
    }
    /^[[:space:]]*$/ { flush(); next }
    /^Types:/     { sub(/^Types:[[:space:]]*/, ""); types = $0 }
    /^Suites:/    { sub(/^Suites:[[:space:]]*/, ""); suites = $0 }
    /^URIs:/      { uri = $2 }
    /^Signed-By:/ { key = $2 }
    END { flush() }
  ' /etc/apt/sources.list.d/*.sources 2>/dev/null
}

# Adds the source entry unless it is there; false when there is no binary
# entry to copy it from.
add_source_entry() {
  local entry uri key
  entry=$(binary_entry)
  read -r uri key <<<"$entry"
  [ -n "$uri" ] || return 1
  has_source_entry "$uri" && return 0
  note "adding Debian's source archive for apt: $sources_file"
  {
    echo "Types: deb-src"
    echo "URIs: $uri"
    echo "Suites: bookworm"
    echo "Components: main"
    if [ -n "$key" ]; then echo "Signed-By: $key"; fi
  } | as_root tee "$sources_file" >/dev/null
}

# The newest version of the mariadb source package apt knows, or nothing.
source_version() {
  apt-cache showsrc --only-source mariadb 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -V | tail -1
}

version=$(source_version)
if [ -z "$version" ]; then
  add_source_entry || unavailable "no binary entry for Debian bookworm in /etc/apt/sources.list.d/*.sources to copy"
  note "updating apt's package lists for the source of MariaDB"
  as_root apt-get update -qq >/dev/null 2>&1 || note "apt-get update failed"
  version=$(source_version)
fi

if [ -z "$version" ]; then
  # Offline: a library built earlier still serves.
  cached=$(ls -1d "$cache_root"/*/libmariadb.dll 2>/dev/null | sort -V | tail -1)
  [ -n "$cached" ] || unavailable "apt knows no source package \"mariadb\""
  note "apt knows no source of MariaDB; using the client library built earlier: $cached"
  install_dll "$cached" "$(basename "$(dirname "$cached")")"
  exit 0
fi

# The cache and the file names go without the epoch.
plain=${version#*:}
upstream=${plain%-*}
cache="$cache_root/$plain"
if [ -f "$cache/libmariadb.dll" ]; then
  install_dll "$cache/libmariadb.dll" "$version"
  exit 0
fi

mkdir -p "$cache" || unavailable "cannot create $cache"
# Two clones building at once share the cache: one builds, the other waits.
exec 9>"$cache/.lock"
flock 9
if [ -f "$cache/libmariadb.dll" ]; then
  install_dll "$cache/libmariadb.dll" "$version"
  exit 0
fi

tarball="$cache/mariadb_$upstream.orig.tar.gz"
if [ ! -f "$tarball" ]; then
  note "fetching the source of MariaDB $version (about 115 MB) into $cache"
  (cd "$cache" && apt-get source --download-only "mariadb=$version" >"$cache/fetch.log" 2>&1) \
    || { tail -5 "$cache/fetch.log" >&2; unavailable "apt-get source mariadb failed"; }
  [ -f "$tarball" ] || unavailable "apt-get source gave no $tarball"
fi

note "building MariaDB Connector/C $version for 64-bit Windows (once; kept in $cache)"
rm -rf "$cache/src" "$cache/build"
mkdir -p "$cache/src" "$cache/build"
tar xzf "$tarball" -C "$cache/src" --wildcards "mariadb-$upstream/libmariadb/*" \
  || unavailable "$tarball holds no mariadb-$upstream/libmariadb"

log="$cache/build.log"
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
# TLS through Windows' own Schannel, and the authentication plugins the
# servers ask for built in, so that the one DLL is all the program needs.
if ! { cmake -S "$cache/src/mariadb-$upstream/libmariadb" -B "$cache/build" \
         -DCMAKE_TOOLCHAIN_FILE="$VINTREL_ROOT/cmake/mingw-w64-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=Release \
         -DWITH_SSL=SCHANNEL -DWITH_UNIT_TESTS=OFF -DWITH_CURL=OFF \
         -DCLIENT_PLUGIN_CACHING_SHA2_PASSWORD=STATIC -DCLIENT_PLUGIN_SHA256_PASSWORD=STATIC \
         -DCLIENT_PLUGIN_DIALOG=STATIC \
       && make -C "$cache/build" -j "$jobs" libmariadb; } >"$log" 2>&1; then
  tail -20 "$log" >&2
  echo "building the Windows client library failed; the full log is $log" >&2
  exit 1
fi
dll="$cache/build/libmariadb/libmariadb.dll"
[ -f "$dll" ] || { echo "the build of Connector/C left no $dll (log: $log)" >&2; exit 1; }
cp "$dll" "$cache/libmariadb.dll"
# Only the DLL is kept: the sources and the build tree are 200 MB.
rm -rf "$cache/src" "$cache/build" "$cache"/mariadb_*
install_dll "$cache/libmariadb.dll" "$version"
note "installed $target"
