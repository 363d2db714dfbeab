#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the server tests: initdb in DIR, a Unix socket in
# DIR/socket and no TCP port, fsync off. Run as the postgres user when called as root
# (initdb refuses root), as the caller otherwise.
#
#   pg-test-cluster.sh start DIR   prints the socket folder; exit 0 also when the server
#                                  binaries are missing (the tests then skip and say so)
#   pg-test-cluster.sh stop DIR    stops the server and removes DIR
set -euo pipefail

cmd="${1:-}"
dir="${2:-}"
if [[ -z "$cmd" || -z "$dir" ]]; then
  echo "usage: $0 start|stop DIR" >&2
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

case "$cmd" in
start)
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
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir/socket' -c fsync=off \
        -c synchronous_commit=off -c full_page_writes=off -c max_connections=40" \
    start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
  echo "$dir/socket"
  ;;
stop)
  if [[ -n "$bindir" && -f "$dir/data/postmaster.pid" ]]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
