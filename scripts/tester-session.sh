# Sourced by ./run: one v740sim per data folder, shared by every ./run on it.
# The first ./run starts the simulator; a later one reuses it; the simulator ends with the
# last ./run that uses it. Each ./run holds a shared lock on users.lock for its lifetime;
# start and stop decisions are taken under start.lock.
#   tester_acquire DIR SIM-ARGS...   start or reuse the simulator whose link is DIR/port
#   tester_release                   let go; stops the simulator when no other ./run uses it

tester_alive() {
  local pid
  pid="$(cat "$TESTER_DIR/v740sim.pid" 2>/dev/null)" || return 1
  [[ -n "$pid" && -e "$TESTER_DIR/port" ]] || return 1
  [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == v740sim ]] || return 1
  TESTER_PID="$pid"
}

tester_acquire() {
  TESTER_DIR="$1"
  shift
  mkdir -p "$TESTER_DIR"
  exec {TESTER_START_FD}>"$TESTER_DIR/start.lock"
  exec {TESTER_USERS_FD}>"$TESTER_DIR/users.lock"
  flock "$TESTER_START_FD"
  flock -s "$TESTER_USERS_FD"
  if tester_alive; then
    TESTER_REUSED=1
  else
    TESTER_REUSED=0
    # The simulator must not inherit the locks, or it would count as a user itself.
    "$@" >"$TESTER_DIR/v740sim.out" 2>&1 {TESTER_START_FD}>&- {TESTER_USERS_FD}>&- &
    TESTER_PID=$!
    echo "$TESTER_PID" >"$TESTER_DIR/v740sim.pid"
    for _ in $(seq 50); do [[ -e "$TESTER_DIR/port" ]] && break; sleep 0.1; done
  fi
  flock -u "$TESTER_START_FD"
}

tester_release() {
  [[ -n "${TESTER_USERS_FD:-}" ]] || return 0
  flock "$TESTER_START_FD"
  # Only the last user gets the lock exclusively; the others leave the simulator running.
  if flock -xn "$TESTER_USERS_FD"; then
    if tester_alive; then
      kill "$TESTER_PID" 2>/dev/null || true
      for _ in $(seq 30); do kill -0 "$TESTER_PID" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$TESTER_DIR/v740sim.pid"
  fi
  exec {TESTER_USERS_FD}>&-
  flock -u "$TESTER_START_FD"
  exec {TESTER_START_FD}>&-
  TESTER_USERS_FD=
}
