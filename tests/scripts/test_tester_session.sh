#!/usr/bin/env bash
# Two ./run sessions on one folder: the second reuses the first one's simulator, and the
# simulator outlives whichever session ends first, so neither breaks the other's tester.
set -euo pipefail
SRC="$1"
BIN="$2"
WORK="$(mktemp -d)"
trap 'pkill -f -- "--link $WORK/" 2>/dev/null || true; rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A session: acquires, says which simulator it got, waits for its stop file, releases.
session() {
  local name="$1"
  (
    source "$SRC/scripts/tester-session.sh"
    tester_acquire "$WORK/tester" "$BIN/v740sim" --link "$WORK/tester/port" --catalog "$WORK/tester/catalog"
    echo "$TESTER_PID $TESTER_REUSED" >"$WORK/$name.got"
    while [[ ! -e "$WORK/$name.stop" ]]; do sleep 0.05; done
    tester_release
  ) &
  eval "${name}_JOB=$!"
  for _ in $(seq 100); do [[ -s "$WORK/$name.got" ]] && return; sleep 0.05; done
  fail "session $name did not get a tester"
}
stop() {
  local job="${1}_JOB"
  touch "$WORK/$1.stop"
  wait "${!job}"
  rm -f "$WORK/$1.stop" "$WORK/$1.got"
}
link_answers() {
  "$BIN/v740ctl" --data "$WORK/data" --port "$WORK/tester/port" --baud 115200 --databits 8 rs232 >/dev/null 2>&1
}
sim_alive() { kill -0 "$1" 2>/dev/null && [[ "$(cat "/proc/$1/comm" 2>/dev/null)" == v740sim ]]; }
mkdir -p "$WORK/data"

for first_to_end in B A; do
  session A
  session B
  read -r pidA reusedA <"$WORK/A.got"
  read -r pidB reusedB <"$WORK/B.got"
  [[ "$reusedA" == 0 ]] || fail "the first session reused a simulator that was not running"
  [[ "$reusedB" == 1 && "$pidB" == "$pidA" ]] || fail "the second session started a simulator of its own"
  link_answers || fail "the tester does not answer with both sessions running"

  other=$([[ "$first_to_end" == A ]] && echo B || echo A)
  stop "$first_to_end"
  sim_alive "$pidA" || fail "session $first_to_end took the simulator with it"
  link_answers || fail "the tester of session $other stopped answering when $first_to_end ended"

  stop "$other"
  for _ in $(seq 40); do sim_alive "$pidA" || break; sleep 0.1; done
  ! sim_alive "$pidA" || fail "the simulator outlived the last session"
  [[ ! -e "$WORK/tester/v740sim.pid" ]] || fail "the pid file outlived the last session"
done
echo "ok"
