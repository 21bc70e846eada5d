#!/usr/bin/env bash
# Runs Vintrel on a virtual display, connects to the embedded server, runs a
# demo query and writes a screenshot of the screen to FILE.
#   scripts/screenshot.sh FILE        (./run --screenshot FILE calls this)
set -uo pipefail
source "$(dirname "$0")/common.sh"
file=$(realpath -m "${1:?usage: $0 FILE}")
export MYSQL_UNIX_PORT="${MYSQL_UNIX_PORT:-$("$VINTREL_ROOT/scripts/embedded-server.sh" socket)}"

if [ -z "${VINTREL_ON_VIRTUAL_DISPLAY:-}" ]; then
  export VINTREL_ON_VIRTUAL_DISPLAY=1
  # The virtual display has no window manager: a prefix of its own with
  # Wine's own (unmanaged) windows, which Wine draws with their captions and
  # opens maximized as the program asks, as Windows would.
  export WINEPREFIX_OVERRIDE="$VINTREL_ROOT/.wineprefix-screenshot" VINTREL_UNMANAGED_WINDOWS=1
  "$VINTREL_ROOT/scripts/wineprefix.sh" || exit 1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$file"
fi

restart_wineserver
wine cmd /c exit </dev/null >/dev/null 2>&1
"$VINTREL_BUILD/vintrel" >/dev/null 2>&1 &
program=$!
trap 'kill $program 2>/dev/null; wineserver -k 2>/dev/null' EXIT

wait_for_window() {
  local i
  for i in $(seq 1 100); do
    xdotool search --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.2
  done
  return 1
}

wait_for_window "^Vintrel$" >/dev/null || { echo "the program did not start" >&2; exit 1; }
dialog=$(wait_for_window "Connect to MySQL Server") || { echo "the connect dialog did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
sleep 0.5
xdotool key --window "$dialog" Return
sleep 2
for line in "-- Orders with their customers and products" \
            "SELECT c.name, c.city, p.name AS product, o.quantity, o.ordered, o.note" \
            "FROM demo.orders o JOIN demo.customers c ON c.id = o.customer_id" \
            "JOIN demo.products p ON p.id = o.product_id ORDER BY o.ordered;"; do
  xdotool type --delay 15 -- "$line"
  xdotool key Return
done
sleep 0.3
xdotool key F5
sleep 3
import -window root "$file" && echo "screenshot written to $file"
