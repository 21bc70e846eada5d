#!/usr/bin/env bash
# Builds and runs the benchmarks against a private MariaDB server started as
# ./test does (data kept in ~/.cache/vintrel/benchdb between runs, so the
# big tables are made once; socket only). Arguments name the benchmarks to
# run (default: all).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
source scripts/mariadb.sh

scripts/setup.sh || exit 1
VINTREL_SKIP_WINDOWS=1 scripts/build.sh || exit 1
scripts/wineprefix.sh || exit 1

# A folder of the user's own, not a fixed name under /tmp that another
# user could make first.
dbroot="${XDG_CACHE_HOME:-$HOME/.cache}/vintrel/benchdb"
mkdir -p -m 700 "$dbroot" && chmod 700 "$dbroot"
export MYSQL_UNIX_PORT="$dbroot/mysqld.sock"
trap 'stop_private_server; wineserver -k 2>/dev/null' EXIT
start_private_server "$dbroot/data" "$MYSQL_UNIX_PORT" 0 || exit 1
create_test_account "$MYSQL_UNIX_PORT" || exit 1

if [ $# -eq 0 ]; then
  set -- $(cd "$VINTREL_BUILD/bench" && ls *_bench.exe.so | sed 's/\.exe\.so$//')
fi
# One virtual display for all of them; Wine's helper processes start inside
# it, detached from our output.
restart_wineserver
xvfb-run -a -s "-screen 0 2560x1440x24" sh -c '
  wine cmd /c exit </dev/null >/dev/null 2>&1
  build=$0; status=0
  for bench in "$@"; do
    echo "== $bench"
    wine "$build/bench/$bench.exe.so" || status=1
  done
  exit $status' "$VINTREL_BUILD" "$@"
