#!/usr/bin/env bash
# The embedded default server: a private MariaDB server whose data lives in
# the user's data directory and survives between runs, with a small demo
# database. It listens on its own socket only, in a directory that is the
# user's alone: its accounts have no passwords (root, and the user's own
# login name), so no other user of the machine may reach it, over TCP or
# through the socket.
#
#   embedded-server.sh start    start it unless it already answers
#   embedded-server.sh stop     stop it
#   embedded-server.sh socket   print its socket path
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/mariadb.sh"

home_data="${XDG_DATA_HOME:-$HOME/.local/share}/vintrel"
datadir="$home_data/mariadb"
socket="$home_data/mysqld.sock"

answers() { mariadb-admin --no-defaults --socket="$socket" -uroot ping >/dev/null 2>&1; }

create_demo() {
  local me; me=$(id -un)
  mariadb --no-defaults --default-character-set=utf8mb4 --socket="$socket" -uroot <<SQL
CREATE DATABASE IF NOT EXISTS demo CHARACTER SET utf8mb4;
USE demo;
CREATE TABLE IF NOT EXISTS customers (
  id INT PRIMARY KEY AUTO_INCREMENT, name VARCHAR(60) NOT NULL, city VARCHAR(40), joined DATE);
CREATE TABLE IF NOT EXISTS products (
  id INT PRIMARY KEY AUTO_INCREMENT, name VARCHAR(60) NOT NULL, price DECIMAL(8,2), stock INT);
CREATE TABLE IF NOT EXISTS orders (
  id INT PRIMARY KEY AUTO_INCREMENT, customer_id INT NOT NULL, product_id INT NOT NULL,
  quantity INT NOT NULL, ordered DATETIME, note VARCHAR(80) NULL,
  FOREIGN KEY (customer_id) REFERENCES customers(id), FOREIGN KEY (product_id) REFERENCES products(id));
INSERT INTO customers (name, city, joined) VALUES
  ('Ada Lovelace', 'London', '2024-01-15'), ('Grace Hopper', 'Arlington', '2024-02-03'),
  ('Edsger Dijkstra', 'Nuenen', '2024-03-21'), ('Barbara Liskov', 'Boston', '2024-05-09'),
  ('Donald Knuth', 'Stanford', '2024-06-30'), ('Margaret Hamilton', 'Boston', '2024-08-12'),
  ('Niklaus Wirth', 'Zürich', '2024-09-01'), ('Frances Allen', 'Peru NY', '2024-11-18');
INSERT INTO products (name, price, stock) VALUES
  ('Notebook', 3.50, 120), ('Fountain pen', 24.90, 15), ('Desk lamp', 39.00, 8),
  ('Paper clips (100)', 1.20, 400), ('Stapler', 12.75, 30), ('Whiteboard marker', 2.10, 75);
INSERT INTO orders (customer_id, product_id, quantity, ordered, note)
  SELECT 1 + seq % 8, 1 + seq % 6, 1 + seq % 5, '2025-01-01 09:00:00' + INTERVAL seq * 7 HOUR,
         IF(seq % 4 = 0, 'gift wrap', NULL)
  FROM seq_1_to_60;
CREATE USER IF NOT EXISTS '$me'@'localhost' IDENTIFIED VIA unix_socket;
GRANT ALL ON *.* TO '$me'@'localhost';
SQL
}

case "${1:-start}" in
  socket) echo "$socket" ;;
  stop)
    if [ -f "$datadir/mariadbd.pid" ]; then MARIADB_PID=$(cat "$datadir/mariadbd.pid"); stop_private_server; fi ;;
  start)
    mkdir -p "$home_data"
    # Tightened on every start: a directory made by an earlier version
    # (whose server also listened on 127.0.0.1:3306) keeps its data.
    chmod 700 "$home_data"
    answers && exit 0
    first_start=0; [ -d "$datadir/mysql" ] || first_start=1
    start_private_server "$datadir" "$socket" 0 >/dev/null || exit 1
    disown "$MARIADB_PID" 2>/dev/null || true
    if [ "$first_start" -eq 1 ]; then create_demo || exit 1; fi
    note "the embedded server answers on $socket"
    ;;
  *) echo "usage: $0 start|stop|socket" >&2; exit 2 ;;
esac
