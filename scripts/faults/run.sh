#!/usr/bin/env bash
# Runs every fault campaign against the programs of a build (default build/dev).
#   bash scripts/faults/run.sh            the full campaigns (docs/reliability.md has their figures)
#   bash scripts/faults/run.sh --short    the bounded form the test run uses (a minute or two)
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
for c in "${campaigns[@]}"; do
  echo "== faults: $c"
  # shellcheck disable=SC2086
  if ! timeout 1800 python3 "$here"/$c --build "$build"; then
    failed+=("$c")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fault campaigns failed: ${failed[*]}"
  exit 1
fi
echo "fault campaigns: all passed ($mode)"
