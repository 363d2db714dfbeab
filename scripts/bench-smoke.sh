#!/usr/bin/env bash
# Runs every benchmark once with small sizes, so that CI notices a benchmark that no longer
# starts or fails; the figures of such short runs mean nothing. Usage:
#   scripts/bench-smoke.sh BENCH-DIR [SECONDS]
# SECONDS (60) bounds the whole run: a program still running when it is used up fails.
set -euo pipefail
BENCH="${1:?usage: bench-smoke.sh BENCH-DIR [SECONDS]}"
BUDGET="${2:-60}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# Program and its arguments: a few rows, one pair.
RUNS=(
  "bench_texts"
  "bench_open"
  "bench_protocol_query 2000 1"
  "bench_directory_list 2000"
  "bench_data_directories 2000 1 100"
  "bench_print 200"
  "bench_pg 100 1"
  "bench_exchange 1 300"
  "bench_link 16384 10"
  "bench_pacing 4"
  "bench_startup 1"
)

# Programs that other benchmarks start.
HELPERS=" startup_empty_window "

start=$SECONDS
failed=0
# A new benchmark has to be added above; none is left out unnoticed.
for program in "$BENCH"/*; do
  name="$(basename "$program")"
  [[ -f "$program" && -x "$program" ]] || continue
  [[ "$HELPERS" == *" $name "* ]] && continue
  if ! printf '%s\n' "${RUNS[@]}" | grep -q "^$name\( \|\$\)"; then
    echo "bench-smoke: $name has no smoke run in scripts/bench-smoke.sh" >&2
    failed=1
  fi
done
for run in "${RUNS[@]}"; do
  read -r -a cmd <<<"$run"
  left=$((BUDGET - (SECONDS - start)))
  if ((left <= 0)); then
    echo "bench-smoke: no time left for ${cmd[0]}" >&2
    failed=1
    break
  fi
  if [[ ! -x "$BENCH/${cmd[0]}" ]]; then
    echo "bench-smoke: $BENCH/${cmd[0]} was not built" >&2
    failed=1
    continue
  fi
  t0=$SECONDS
  status=0
  timeout "$left" "$BENCH/${cmd[0]}" "${cmd[@]:1}" >"/tmp/bench-smoke.$$.log" 2>&1 || status=$?
  echo "bench-smoke: ${run}: $((SECONDS - t0)) s, exit $status"
  if ((status != 0)); then
    sed 's/^/    /' "/tmp/bench-smoke.$$.log" >&2
    failed=1
  fi
done
rm -f "/tmp/bench-smoke.$$.log"
echo "bench-smoke: $((SECONDS - start)) s in all"
exit "$failed"
