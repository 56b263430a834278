#!/usr/bin/env bash
# The pooler test's services: a private server with a database of its own
# and PgBouncer in front of it in transaction pooling mode with a pool of
# 10 server connections, all on the loopback address, made for the test
# and removed when it ends, however it ends. The test itself is
# ManyClients.*Pooler* in the engine's tests.
#   pooler_test.sh path/to/pg-server.sh path/to/tarnwick_tests
set -euo pipefail
script=$1
tests=$2
pgbouncer=$(command -v pgbouncer || echo /usr/sbin/pgbouncer)
if [ ! -x "$pgbouncer" ]; then
  echo "pooler_test: no pgbouncer (install the pgbouncer package)" >&2
  exit 1
fi
dir=$(mktemp -d)
chmod 755 "$dir"
stop() {
  [ ! -f "$dir/bouncer/pgbouncer.pid" ] || kill "$(cat "$dir/bouncer/pgbouncer.pid")" 2>/dev/null || true
  bash "$script" stop "$dir/server"
  rm -rf "$dir"
}
trap stop EXIT
server=$(bash "$script" start "$dir/server")
psql "$server" -qAtc "CREATE DATABASE tw_pool" >/dev/null
direct=${server%/postgres}/tw_pool
# The server's user and password, for PgBouncer's connections to it.
credentials=${server#postgresql://}
credentials=${credentials%@*}
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$dir/bouncer"
cat >"$dir/bouncer/pgbouncer.ini" <<INI
[databases]
tw_pool = host=127.0.0.1 port=$(cat "$dir/server/port") dbname=tw_pool user=${credentials%%:*} password=${credentials#*:}
[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $port
unix_socket_dir =
auth_type = any
pool_mode = transaction
default_pool_size = 10
max_client_conn = 200
logfile = $dir/bouncer/pgbouncer.log
pidfile = $dir/bouncer/pgbouncer.pid
INI
if [ "$(id -u)" -eq 0 ]; then
  chown -R postgres: "$dir/bouncer"
  "$pgbouncer" -d -u postgres "$dir/bouncer/pgbouncer.ini"
else
  "$pgbouncer" -d "$dir/bouncer/pgbouncer.ini"
fi
for _ in $(seq 50); do
  psql "postgresql://${credentials%%:*}@127.0.0.1:$port/tw_pool" -qAtc "SELECT 1" >/dev/null 2>&1 && break
  sleep 0.1
done
export TARNWICK_POOLER_URI="postgresql://${credentials%%:*}@127.0.0.1:$port/tw_pool?pool_mode=transaction"
export TARNWICK_POOLER_DIRECT=$direct
"$tests" --gtest_filter='*Pooler*'
