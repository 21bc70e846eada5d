# Starting and stopping a private MariaDB server. Sourced, not run.
#
# start_private_server DATADIR SOCKET PORT [OPTION...]: initialises DATADIR
# when it is new, starts mariadbd on 127.0.0.1:PORT and SOCKET (with the
# further options, which override), waits until it answers and sets
# MARIADB_PID. stop_private_server stops it by that pid.

start_private_server() {
  local datadir=$1 socket=$2 port=$3 user
  shift 3
  user=$(id -un)
  if [ ! -d "$datadir/mysql" ]; then
    mkdir -p "$datadir"
    mariadb-install-db --no-defaults --datadir="$datadir" --auth-root-authentication-method=normal \
      --user="$user" --skip-test-db >"$datadir.install.log" 2>&1 \
      || { cat "$datadir.install.log" >&2; return 1; }
  fi
  mariadbd --no-defaults --datadir="$datadir" --port="$port" --bind-address=127.0.0.1 \
    --socket="$socket" --user="$user" --skip-log-bin $( [ "$port" = 0 ] && echo --skip-networking ) --pid-file="$datadir/mariadbd.pid" \
    --general-log=0 --general-log-file="$datadir/general.log" \
    --log-error="$datadir/error.log" --innodb-buffer-pool-size=256M "$@" &
  MARIADB_PID=$!
  local i
  for i in $(seq 1 300); do
    if mariadb-admin --no-defaults --socket="$socket" -uroot ping >/dev/null 2>&1; then return 0; fi
    if ! kill -0 "$MARIADB_PID" 2>/dev/null; then
      echo "mariadbd did not start; its log:" >&2; tail -20 "$datadir/error.log" >&2; return 1
    fi
    sleep 0.1
  done
  echo "mariadbd did not answer within 30 s" >&2
  return 1
}

stop_private_server() {
  [ -n "${MARIADB_PID:-}" ] || return 0
  kill "$MARIADB_PID" 2>/dev/null || true
  local i
  for i in $(seq 1 150); do
    kill -0 "$MARIADB_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$MARIADB_PID" 2>/dev/null || true
  wait "$MARIADB_PID" 2>/dev/null || true
  MARIADB_PID=
}

# root_sql SOCKET SQL: runs SQL as the server's root account.
root_sql() {
  mariadb --no-defaults --socket="$1" -uroot -e "$2"
}

# The account the tests, the benchmarks and the development server log in
# with; the one place that names its password.
export VINTREL_TEST_USER=vintrel VINTREL_TEST_PASSWORD='Test-pw-1'

# create_test_account SOCKET: the test account for socket and TCP logins
# (localhost, 127.0.0.1 and ::1), with every privilege; kept when it exists.
create_test_account() {
  root_sql "$1" "
    CREATE USER IF NOT EXISTS '$VINTREL_TEST_USER'@'localhost' IDENTIFIED BY '$VINTREL_TEST_PASSWORD';
    CREATE USER IF NOT EXISTS '$VINTREL_TEST_USER'@'127.0.0.1' IDENTIFIED BY '$VINTREL_TEST_PASSWORD';
    CREATE USER IF NOT EXISTS '$VINTREL_TEST_USER'@'::1' IDENTIFIED BY '$VINTREL_TEST_PASSWORD';
    GRANT ALL ON *.* TO '$VINTREL_TEST_USER'@'localhost' WITH GRANT OPTION;
    GRANT ALL ON *.* TO '$VINTREL_TEST_USER'@'127.0.0.1' WITH GRANT OPTION;
    GRANT ALL ON *.* TO '$VINTREL_TEST_USER'@'::1' WITH GRANT OPTION;"
}
