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

# A fresh wineserver for the prefix: Wine processes left from an earlier run
# may hold a display that is gone.
restart_wineserver() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  wineserver -p 2>/dev/null
}

# free_tcp_port START: the first port from START up that nothing on
# 127.0.0.1 listens on.
free_tcp_port() {
  local port=$1
  while (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}
