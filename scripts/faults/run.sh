#!/usr/bin/env bash
# Runs every fault campaign against the programs of a build (default build/dev).
#   bash scripts/faults/run.sh            the full campaigns (docs/reliability.md has their figures)
#   bash scripts/faults/run.sh --short    the bounded form the test run uses (side by side, under a minute)
# Each campaign prints its counts and exits non-zero on a fault; this script runs them all
# and exits non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/../.."

mode=full
if [ "${1:-}" = "--short" ]; then
  mode=short
  shift
fi
build="${1:-build/dev}"
export QT_QPA_PLATFORM=offscreen
here=scripts/faults

if [ "$mode" = short ]; then
  campaigns=(
    "kill_saves.py --cli-trials 40 --window-trials 4 --parallel 4"
    "writers.py --rounds 2"
    "writers.py --rounds 2 --window"
    "unplug_send.py --positions 0,13,40,73"
    "filesystem.py"
    "sim_socket.py --rounds 300 --silent-clients 2 --opens 20000"
    "window_owner.py --rounds 1 --changes 10 --readers 3 --kills 8 --idle 300 --waves 2"
  )
else
  campaigns=(
    "kill_saves.py --cli-trials 240 --window-trials 60 --parallel 4"
    "writers.py --rounds 20"
    "writers.py --rounds 20 --window"
    "unplug_send.py"
    "filesystem.py"
    "sim_socket.py"
    "window_owner.py"
  )
fi

failed=()
if [ "$mode" = short ]; then
  # The short campaigns wait on processes, pacing and sockets far more than they
  # compute (each has its own data folders and sockets): they run side by side,
  # and each one's output is printed whole when it ends.
  logs=$(mktemp -d)
  trap 'rm -rf "$logs"' EXIT
  pids=()
  for i in "${!campaigns[@]}"; do
    # shellcheck disable=SC2086
    timeout 1800 python3 "$here"/${campaigns[$i]} --build "$build" >"$logs/$i" 2>&1 &
    pids+=($!)
  done
  for i in "${!campaigns[@]}"; do
    wait "${pids[$i]}"
    status=$?
    echo "== faults: ${campaigns[$i]}"
    cat "$logs/$i"
    if [ "$status" -ne 0 ]; then failed+=("${campaigns[$i]}"); fi
  done
else
  for c in "${campaigns[@]}"; do
    echo "== faults: $c"
    # shellcheck disable=SC2086
    if ! timeout 1800 python3 "$here"/$c --build "$build"; then
      failed+=("$c")
    fi
  done
fi
if [ ${#failed[@]} -ne 0 ]; then
  echo "fault campaigns failed: ${failed[*]}"
  exit 1
fi
echo "fault campaigns: all passed ($mode)"
