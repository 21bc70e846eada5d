# The throw-away server and the Wine session of a test run, shared by ./test
# and scripts/memcheck.sh. Sourced, not run, after common.sh and mariadb.sh.

# start_test_server PORT: a fresh data directory, a private server on
# 127.0.0.1:PORT (0: its socket only) and the test account; exports what the
# test programs read and stops the server (and Wine) when the script exits.
start_test_server() {
  local port=$1
  dbroot=$(mktemp -d /tmp/vintrel-testdb.XXXXXX)
  export MYSQL_UNIX_PORT="$dbroot/mysqld.sock"
  export VINTREL_TEST_GENERAL_LOG="$dbroot/data/general.log"
  [ "$port" != 0 ] && export VINTREL_TEST_PORT="$port"
  trap stop_test_session EXIT
  trap 'exit 130' INT TERM
  start_private_server "$dbroot/data" "$MYSQL_UNIX_PORT" "$port" || return 1
  create_test_account "$MYSQL_UNIX_PORT" || return 1
  start_test_keyring || return 1
}

# start_test_keyring: a private session bus with a keyring on it, unlocked
# with an empty password, where the Linux build keeps the passwords it saves;
# its files stay in the run's own directory, never in the user's keyrings.
# Exports DBUS_SESSION_BUS_ADDRESS for the test programs, and
# VINTREL_TEST_KEYRING=1, which tells them a keyring answers.
start_test_keyring() {
  local dir="$dbroot/keyring" out
  mkdir -p "$dir/data" "$dir/run" && chmod 700 "$dir/run"
  # The bus starts no daemon of the user's: it and the keyring see the
  # run's directories as their data and run-time folders.
  out=$(env XDG_DATA_HOME="$dir/data" XDG_RUNTIME_DIR="$dir/run" \
        dbus-daemon --session --fork --print-address=1 --print-pid=1) || { note "dbus-daemon did not start"; return 1; }
  export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$out")
  KEYRING_BUS_PID=$(sed -n 2p <<<"$out")
  echo | env XDG_DATA_HOME="$dir/data" XDG_RUNTIME_DIR="$dir/run" \
    gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null || { note "gnome-keyring-daemon did not start"; return 1; }
  # The daemon takes its name on the bus a moment after it forks; a client
  # that came earlier would have the bus start a second daemon, whose
  # keyring nobody unlocked.
  local i
  for i in $(seq 50); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
         org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
      export VINTREL_TEST_KEYRING=1
      return 0
    fi
    sleep 0.1
  done
  note "the keyring did not appear on the test bus"
  return 1
}

# make_test_certificates DIR: the certificates of a test run, all for the
# name localhost: ca.pem (the test CA) and other-ca.pem (a CA that signed
# nothing here); server-cert.pem from the test CA, selfsigned-cert.pem and
# expired-cert.pem (from the test CA, ended yesterday), each with its
# *-key.pem. The README shows the same commands.
make_test_certificates() {
  local dir=$1 name
  mkdir -p "$dir" || return 1
  (
    cd "$dir" || exit 1
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vintrel test CA" -keyout ca-key.pem -out ca.pem || exit 1
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vintrel other CA" -keyout other-ca-key.pem -out other-ca.pem || exit 1
    printf 'subjectAltName=DNS:localhost\n' >san.ext
    for name in server expired; do
      openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout $name-key.pem -out $name.csr || exit 1
      # A negative number of days ends the certificate before it starts.
      openssl x509 -req -in $name.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -extfile san.ext \
        -days "$([ $name = expired ] && echo -1 || echo 2)" -out $name-cert.pem || exit 1
    done
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost \
      -keyout selfsigned-key.pem -out selfsigned-cert.pem || exit 1
  ) >/dev/null 2>&1
}

# start_tls_server PORT: a second throw-away server that requires TLS, with
# certificates made for the run, on 127.0.0.1:PORT and [::1]:PORT (::1 only
# where the machine has IPv6). It reads active-cert.pem and active-key.pem
# of VINTREL_TEST_TLS_DIR (the test CA's server certificate at first): a
# test copies another pair there and runs FLUSH SSL. Exports
# VINTREL_TEST_TLS_PORT and VINTREL_TEST_TLS_DIR.
start_tls_server() {
  local port=$1 main_pid=$MARIADB_PID bind=127.0.0.1 dir="$dbroot/tls/certs"
  make_test_certificates "$dir" || { note "openssl could not make the test certificates"; return 1; }
  cp "$dir/server-cert.pem" "$dir/active-cert.pem" && cp "$dir/server-key.pem" "$dir/active-key.pem" || return 1
  [ -f /proc/net/if_inet6 ] && bind=127.0.0.1,::1
  start_private_server "$dbroot/tls/data" "$dbroot/tls/mysqld.sock" "$port" --bind-address="$bind" \
    --ssl-cert="$dir/active-cert.pem" --ssl-key="$dir/active-key.pem" --require-secure-transport=ON || return 1
  TLS_SERVER_PID=$MARIADB_PID
  MARIADB_PID=$main_pid
  create_test_account "$dbroot/tls/mysqld.sock" || return 1
  export VINTREL_TEST_TLS_PORT=$port VINTREL_TEST_TLS_DIR=$dir
}

# start_test_sshd PORT: an OpenSSH server on 127.0.0.1:PORT with a host key
# and user keys made for the run, for the present user, logging each
# forwarded channel. VINTREL_TEST_SSH_DIR holds user-key (authorised),
# wrong-key (not), passphrase-key (authorised, passphrase "secret") and
# other-host-key.pub (a host key the server does not have). ssh keeps known
# hosts in the passwd entry's home, whatever HOME says: the run's entry is
# removed before and after. Exports VINTREL_TEST_SSH_PORT,
# VINTREL_TEST_SSH_DIR and VINTREL_TEST_SSHD_LOG.
start_test_sshd() {
  local port=$1 dir="$dbroot/ssh" i key
  mkdir -p "$dir" && chmod 700 "$dir" || return 1
  for key in host-key other-host-key user-key wrong-key; do
    ssh-keygen -q -t ed25519 -N '' -C "vintrel test $key" -f "$dir/$key" || return 1
  done
  ssh-keygen -q -t ed25519 -N secret -C "vintrel test passphrase-key" -f "$dir/passphrase-key" || return 1
  cat "$dir/user-key.pub" "$dir/passphrase-key.pub" >"$dir/authorized_keys"
  printf '%s\n' "Port $port" "ListenAddress 127.0.0.1" "HostKey $dir/host-key" "PidFile $dir/sshd.pid" \
    "AuthorizedKeysFile $dir/authorized_keys" "UsePAM no" "StrictModes no" "PasswordAuthentication no" \
    "KbdInteractiveAuthentication no" "PubkeyAuthentication yes" "PermitRootLogin prohibit-password" \
    "AllowTcpForwarding yes" "LogLevel DEBUG1" >"$dir/sshd_config"
  # As root, sshd wants its privilege-separation directory.
  [ "$(id -u)" -eq 0 ] && mkdir -p /run/sshd
  ssh-keygen -R "[127.0.0.1]:$port" >/dev/null 2>&1
  /usr/sbin/sshd -f "$dir/sshd_config" -E "$dir/sshd.log" || { note "sshd did not start"; cat "$dir/sshd.log" >&2; return 1; }
  SSHD_PORT=$port
  for i in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
    sleep 0.1
  done
  export VINTREL_TEST_SSH_PORT=$port VINTREL_TEST_SSH_DIR=$dir VINTREL_TEST_SSHD_LOG="$dir/sshd.log"
}

stop_test_session() {
  if [ -n "${SSHD_PORT:-}" ]; then
    [ -f "$dbroot/ssh/sshd.pid" ] && kill "$(cat "$dbroot/ssh/sshd.pid")" 2>/dev/null
    ssh-keygen -R "[127.0.0.1]:$SSHD_PORT" >/dev/null 2>&1
  fi
  if [ -n "${TLS_SERVER_PID:-}" ]; then
    local main_pid=$MARIADB_PID
    MARIADB_PID=$TLS_SERVER_PID
    stop_private_server
    MARIADB_PID=$main_pid
  fi
  stop_private_server
  wineserver -k 2>/dev/null || true
  # The keyring's daemon leaves with its bus.
  [ -n "${KEYRING_BUS_PID:-}" ] && kill "$KEYRING_BUS_PID" 2>/dev/null
  rm -rf "$dbroot"
}

# ctest_on_display BUILD_DIR CTEST_ARGS...: runs ctest under a virtual X
# display. Wine's helper processes (winedevice.exe, and explorer.exe, which
# holds the desktop window) outlive the program that starts them: they are
# started first, detached, or CTest would wait for them to close the first
# test's output pipe, and inside the virtual display, or no test could create
# a top-level window.
ctest_on_display() {
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    sh -c 'wine cmd /c exit </dev/null >/dev/null 2>&1; exec ctest --test-dir "$0" --output-on-failure -V "$@"' \
    "$@"
}
