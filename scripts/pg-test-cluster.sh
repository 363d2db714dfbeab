#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the server tests: initdb in DIR, a Unix socket in
# DIR/socket and no TCP port, fsync off. Run as the postgres user when called as root
# (initdb refuses root), as the caller otherwise.
#
#   pg-test-cluster.sh start DIR   prints the socket folder; exit 0 also when the server
#                                  binaries are missing (the tests then skip and say so)
#   pg-test-cluster.sh start-tls DIR
#                                  a second cluster as a server on the network is set up:
#                                  TCP on localhost only with TLS (a self-signed certificate
#                                  for "localhost" in DIR/server.crt), scram-sha-256, plain
#                                  TCP refused; the login v740tls with the password in
#                                  DIR/password owns the databases v740tls (left empty) and
#                                  v740tls_dialog (for a schema of its own); DIR/port
#   pg-test-cluster.sh stop DIR    stops the server and removes DIR
set -euo pipefail

cmd="${1:-}"
dir="${2:-}"
if [[ -z "$cmd" || -z "$dir" ]]; then
  echo "usage: $0 start|start-tls|stop DIR" >&2
  exit 2
fi

bindir="${PG_BINDIR:-}"
if [[ -z "$bindir" ]]; then
  for d in /usr/lib/postgresql/*/bin; do
    [[ -x "$d/initdb" ]] && bindir="$d"
  done
fi

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# The first port of localhost from 55432 on that nothing listens on.
free_port() {
  local p
  for p in $(seq 55432 55631); do
    if ! (echo >"/dev/tcp/127.0.0.1/$p") >/dev/null 2>&1; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

case "$cmd" in
start | start-tls)
  if [[ "$cmd" == start-tls ]] && ! command -v openssl >/dev/null; then
    echo "openssl not found (package openssl): the TLS tests will be skipped"
    rm -rf "$dir"
    exit 0
  fi
  if [[ -z "$bindir" || ! -x "$bindir/initdb" || ! -x "$bindir/pg_ctl" ]]; then
    echo "PostgreSQL server binaries not found (package postgresql-15): the server tests will be skipped"
    rm -rf "$dir"
    exit 0
  fi
  if [[ $(id -u) -eq 0 ]] && ! id postgres >/dev/null 2>&1; then
    echo "running as root without a postgres user: the server tests will be skipped"
    rm -rf "$dir"
    exit 0
  fi
  # A cluster left by an aborted run is stopped and replaced.
  if [[ -f "$dir/data/postmaster.pid" ]]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  mkdir -p "$dir/socket"
  [[ $(id -u) -eq 0 ]] && chown -R postgres: "$dir"
  as_owner "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 \
    --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  options="-c unix_socket_directories='$dir/socket' -c fsync=off -c synchronous_commit=off \
    -c full_page_writes=off -c max_connections=40"
  if [[ "$cmd" == start ]]; then
    options+=" -c listen_addresses=''"
  else
    port="$(free_port)" || { echo "no free port from 55432 on" >&2; exit 1; }
    openssl req -new -x509 -days 2 -nodes -subj "/CN=localhost" -keyout "$dir/server.key" \
      -out "$dir/server.crt" >/dev/null 2>&1
    chmod 600 "$dir/server.key"
    [[ $(id -u) -eq 0 ]] && chown postgres: "$dir/server.key" "$dir/server.crt"
    cat >"$dir/data/pg_hba.conf" <<HBA
local     all all                trust
hostnossl all all all            reject
hostssl   all all 127.0.0.1/32   scram-sha-256
hostssl   all all ::1/128        scram-sha-256
HBA
    options+=" -c listen_addresses='localhost' -c port=$port -c ssl=on -c ssl_cert_file='$dir/server.crt'"
    options+=" -c ssl_key_file='$dir/server.key' -c password_encryption=scram-sha-256"
  fi
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 -o "$options" \
    start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
  if [[ "$cmd" == start-tls ]]; then
    password="tls-$RANDOM-$RANDOM"
    as_owner "$bindir/psql" -q -h "$dir/socket" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 \
      -c "CREATE ROLE v740tls LOGIN PASSWORD '$password'" -c "CREATE DATABASE v740tls OWNER v740tls" \
      -c "CREATE DATABASE v740tls_dialog OWNER v740tls" \
      >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "$password" >"$dir/password"
    echo "$port" >"$dir/port"
  fi
  echo "$dir/socket"
  ;;
stop)
  if [[ -n "$bindir" && -f "$dir/data/postmaster.pid" ]]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start|start-tls|stop DIR" >&2
  exit 2
  ;;
esac
