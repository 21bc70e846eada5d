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
  root_sql "$socket" "
    CREATE USER IF NOT EXISTS 'vintrel'@'localhost' IDENTIFIED BY 'Test-pw-1';
    CREATE USER IF NOT EXISTS 'vintrel'@'127.0.0.1' IDENTIFIED BY 'Test-pw-1';
    GRANT ALL ON *.* TO 'vintrel'@'localhost' WITH GRANT OPTION;
    GRANT ALL ON *.* TO 'vintrel'@'127.0.0.1' WITH GRANT OPTION;"
fi
echo "export MYSQL_UNIX_PORT=$socket VINTREL_TEST_USER=vintrel VINTREL_TEST_PASSWORD=Test-pw-1 VINTREL_TEST_GENERAL_LOG=$root/data/general.log WINEPREFIX=$WINEPREFIX WINEDEBUG=-all"
