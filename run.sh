#!/usr/bin/env bash
# Builds the deliverables and runs the system's main job: kxhost loads
# kx200maria64.so and drives it as the platform's runtime would, here
# against a throwaway MariaDB server: once with the right password, once
# with a wrong one. Without a server kxhost runs the steps it can.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKX_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

server_dir=build/kxhost-server
stop_server() { ./tests/fixtures/mariadb_stop.sh "$server_dir" >/dev/null 2>&1 || true; }
trap stop_server EXIT INT TERM

if ./tests/fixtures/mariadb_start.sh "$server_dir"; then
  declare -A conf=()
  while IFS='=' read -r key value; do
    [ -n "$key" ] && conf[$key]=$value
  done <"$server_dir/connection.conf"
  args=(--host "${conf[host]}" --port "${conf[port]}" --socket "${conf[socket]}"
        --user "${conf[user]}" --database "${conf[database]}")
  echo "=== kxhost against the throwaway server"
  ./build/bin/kxhost "${args[@]}" --password "${conf[password]}"
  echo "=== kxhost with a wrong password (the connection must be refused)"
  status=0
  ./build/bin/kxhost "${args[@]}" --password "wrong-${conf[password]}" || status=$?
  # 2: only the connection was refused, as it must be.
  if [ "$status" != 2 ]; then
    echo "run.sh: kxhost with a wrong password ended with status $status, expected 2" >&2
    exit 1
  fi
  echo "=== kxhost as the SQL runtime: a SELECT, an UPDATE, the current schema's tables"
  ./build/bin/kxhost "${args[@]}" --password "${conf[password]}" \
    --sql "SELECT 1, 'a'" \
    --sql "CREATE TEMPORARY TABLE kxhost_sql (a INT)" \
    --sql "INSERT INTO kxhost_sql VALUES (1)" \
    --sql "UPDATE kxhost_sql SET a = 2" \
    --table-list 0x23
else
  echo "=== the server did not start: kxhost without a server"
  ./build/bin/kxhost
fi
