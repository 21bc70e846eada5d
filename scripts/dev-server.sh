#!/usr/bin/env bash
# For development: starts (once) a private MariaDB server with the test
# account, listening on its socket only, in a directory that is the user's
# alone, and prints the environment that lets the test programs reach it:
#   eval "$(scripts/dev-server.sh)"
# Tests that need TCP (a port of their own, the TLS server) need ./test.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/mariadb.sh"
# Not a fixed name under /tmp, which another user could make first: a
# folder in the user's own runtime (or cache) directory, made 0700.
root="${XDG_RUNTIME_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}}/vintrel-dev"
mkdir -p -m 700 "$root"
chmod 700 "$root"
[ -O "$root" ] || { echo "$root belongs to another user" >&2; exit 1; }
socket=$root/mysqld.sock
if ! mariadb-admin --no-defaults --socket="$socket" -uroot ping >/dev/null 2>&1; then
  start_private_server "$root/data" "$socket" 0 >/dev/null 2>&1
  disown "$MARIADB_PID" 2>/dev/null || true
  create_test_account "$socket"
fi
echo "export MYSQL_UNIX_PORT=$socket VINTREL_TEST_USER=$VINTREL_TEST_USER VINTREL_TEST_PASSWORD=$VINTREL_TEST_PASSWORD VINTREL_TEST_GENERAL_LOG=$root/data/general.log WINEPREFIX=$WINEPREFIX WINEDEBUG=-all"
