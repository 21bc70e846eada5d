# Shared settings of ./test and ./run. Sourced, not run.
VINTREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$VINTREL_ROOT/.wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
VINTREL_BUILD="${VINTREL_BUILD:-$VINTREL_ROOT/build}"
VINTREL_BUILD_WIN="${VINTREL_BUILD_WIN:-$VINTREL_ROOT/build-win}"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

note() { printf '== %s\n' "$*" >&2; }
