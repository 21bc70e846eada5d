#!/usr/bin/env bash
# For development: starts (once) a private MariaDB server with the test
# account in /tmp/vintrel-dev on port ${VINTREL_DEV_PORT:-3399} and prints the
# environment that lets the test programs reach it:
#   eval "$(scripts/dev-server.sh)"
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/mariadb.sh"
root=/tmp/vintrel-dev
socket=$root/mysqld.sock
if ! mariadb-admin --no-defaults --socket="$socket" -uroot ping >/dev/null 2>&1; then
  start_private_server "$root/data" "$socket" "${VINTREL_DEV_PORT:-3399}" >/dev/null 2>&1
  disown "$MARIADB_PID" 2>/dev/null || true
  create_test_account "$socket"
fi
echo "export MYSQL_UNIX_PORT=$socket VINTREL_TEST_USER=$VINTREL_TEST_USER VINTREL_TEST_PASSWORD=$VINTREL_TEST_PASSWORD VINTREL_TEST_GENERAL_LOG=$root/data/general.log WINEPREFIX=$WINEPREFIX WINEDEBUG=-all"
