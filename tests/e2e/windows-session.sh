#!/usr/bin/env bash
# windows-session.sh ROOT PROGRAM ARGS...: runs the end-to-end tests
# (PROGRAM ARGS...) against the Windows build.
#
# That build reaches "localhost" over TCP on port 3306, always, while the
# test server listens where ./test put it (3316 when 3306 is busy) and a
# server on 3306 may well be somebody else's. So the tests run in a network
# namespace of their own, where 127.0.0.1:3306 leads to the test server's
# socket. Wine opens its sockets in the wineserver, which must live in that
# namespace too: the run has a Wine prefix of its own, and its own
# wineserver. Without namespaces the program is left to reach port 3306
# directly, and the tests skip unless the test server is the one there.
set -uo pipefail
root=$1
shift

if [ -z "${VINTREL_E2E_NAMESPACE:-}" ] && unshare -rn true 2>/dev/null; then
  exec unshare -rn env VINTREL_E2E_NAMESPACE=1 "$0" "$root" "$@"
fi

export WINEPREFIX_OVERRIDE="${WINEPREFIX:-$root/.wineprefix-test}-windows" VINTREL_UNMANAGED_WINDOWS=1
export WINEPREFIX="$WINEPREFIX_OVERRIDE" WINEDEBUG=-all

forwarder=
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$forwarder" ] && kill "$forwarder" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -n "${VINTREL_E2E_NAMESPACE:-}" ]; then
  PATH="$PATH:/usr/sbin:/sbin" ip link set lo up || exit 1
  socat TCP-LISTEN:3306,bind=127.0.0.1,fork,reuseaddr UNIX-CONNECT:"$MYSQL_UNIX_PORT" &
  forwarder=$!
  export VINTREL_E2E_PORT_FORWARDED=1
fi

"$root/scripts/wineprefix.sh" || exit 1
# Wine's helper processes first, detached from the tests' output (see
# ctest_on_display in scripts/test-session.sh).
wine cmd /c exit </dev/null >/dev/null 2>&1
"$@"
exit $?
