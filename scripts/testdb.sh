#!/usr/bin/env bash
# The test database: a throwaway PostgreSQL cluster on 127.0.0.1 with a private folder and
# port, and a private ODBC driver registry (ODBCSYSINI) naming the drivers the tests use.
#
#   eval "$(scripts/testdb.sh start)"   starts both and prints the variables the tests read
#   scripts/testdb.sh stop              stops the server and removes everything
#
# Each working copy gets its own folder, so that several can run their tests at once.
set -euo pipefail
cd "$(dirname "$0")/.."
key=$(printf %s "$PWD" | md5sum | cut -c1-10)
base=/tmp/melrok-testdb-$key
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
odbclib=$(dirname "$(ls /usr/lib/*/odbc/libsqlite3odbc.so 2>/dev/null | head -n 1)")

# PostgreSQL refuses to run as root: the server then runs as the postgres user.
as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
  if [ -f "$base/data/postmaster.pid" ]; then
    as_server "$pgbin/pg_ctl" -m fast -w -D "$base/data" stop >/dev/null 2>&1 || true
  fi
  rm -rf "$base"
}

start() {
  [ -n "$pgbin" ] || { echo "testdb: PostgreSQL is not installed" >&2; exit 1; }
  [ -n "$odbclib" ] || { echo "testdb: the SQLite ODBC driver is not installed" >&2; exit 1; }
  stop
  mkdir -p "$base/data" "$base/socket" "$base/odbc"
  chmod 0755 "$base"
  [ "$(id -u)" -eq 0 ] && chown postgres "$base/data" "$base/socket"
  as_server "$pgbin/initdb" -D "$base/data" -A trust -U postgres >"$base/initdb.log" 2>&1 ||
    { cat "$base/initdb.log" >&2; exit 1; }

  local port started=
  for port in $(seq 55400 55499); do
    # Taken if something answers there.
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
    if as_server "$pgbin/pg_ctl" -w -D "$base/data" -l "$base/data/server.log" \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $base/socket" start >/dev/null 2>&1; then
      started=$port
      break
    fi
  done
  [ -n "$started" ] || { echo "testdb: the server did not start" >&2; cat "$base/data/server.log" >&2; exit 1; }
  "$pgbin/psql" -q -h 127.0.0.1 -p "$started" -U postgres -d postgres \
    -c "CREATE DATABASE melrok_test" >/dev/null

  # The system registry turns on the PostgreSQL driver's communication log; this one does not.
  cat >"$base/odbc/odbcinst.ini" <<INI
[SQLite3]
Description=SQLite3 ODBC Driver
Driver=$odbclib/libsqlite3odbc.so

[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=$odbclib/psqlodbcw.so
Debug=0
CommLog=0
INI
  : >"$base/odbc/odbc.ini"

  cat >"$base/env" <<ENV
export ODBCSYSINI=$base/odbc
export MELROK_PG_HOST=127.0.0.1
export MELROK_PG_PORT=$started
export MELROK_PG_DATABASE=melrok_test
export MELROK_PG_USER=postgres
ENV
  cat "$base/env"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
