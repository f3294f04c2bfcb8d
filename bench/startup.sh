#!/usr/bin/env bash
# The main window's process figures, under a private Xvfb:
#  1. start-up: `tarvik --simulate --screenshot` against the floor program (an
#     empty 1127 x 740 Qt window that renders and exits the same way), the
#     median wall time and peak RSS of RUNS runs each, and their ratios;
#  2. idle CPU over SECONDS with the window hidden on the virtual mouse
#     (tarvik-idle, the real window in a probe process), and of the real
#     program with its window shown.
#
#   bash bench/startup.sh [build-dir]        (default build/bench; RUNS=15 SECONDS=60)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
runs=${RUNS:-15}
seconds=${SECONDS_IDLE:-60}
settle=15
bin="$build/bin"
for p in tarvik tarvik-floor tarvik-idle; do
  [ -x "$bin/$p" ] || { echo "startup.sh: $bin/$p missing; build the targets tarvik tarvik-floor tarvik-idle" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "startup.sh: Xvfb is needed" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  [ -n "${xpid:-}" ] && kill "$xpid" 2>/dev/null || true
  [ -n "${tpid:-}" ] && kill "$tpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server; it writes its display number once it accepts clients.
exec 3< <(Xvfb -displayfd 1 -nolisten tcp -noreset -screen 0 1920x1080x24 2>/dev/null)
xpid=$!
read -r -t 20 number <&3
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb
unset DBUS_SESSION_BUS_ADDRESS # no notification area: nothing waits for a panel
export TARVIK_PROGRAM_DIR="$PWD/$bin"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One run: wall seconds, peak RSS in KiB, CPU seconds (user + system, 10 ms steps).
measure() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%M %U %S" -o "$work/rss" "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  read -r rss user sys < <(tail -1 "$work/rss")
  echo "$(echo "$end - $start" | bc) $rss $(echo "$user + $sys" | bc)"
}

data="$work/data"
"$bin/tarvik" --simulate --data-dir "$data" --screenshot "$work/warm.png" >/dev/null 2>&1 # creates the data folder
: > "$work/tarvik.txt"
: > "$work/floor.txt"
for _ in $(seq "$runs"); do
  measure "$bin/tarvik-floor" --screenshot "$work/floor.png" >> "$work/floor.txt"
  measure "$bin/tarvik" --simulate --data-dir "$data" --screenshot "$work/tarvik.png" >> "$work/tarvik.txt"
done
cat "$work/tarvik.txt" "$work/floor.txt" > "${RUN_LOG:-/dev/null}"
tw=$(cut -d' ' -f1 "$work/tarvik.txt" | median); tr=$(cut -d' ' -f2 "$work/tarvik.txt" | median)
tc=$(cut -d' ' -f3 "$work/tarvik.txt" | median)
fw=$(cut -d' ' -f1 "$work/floor.txt" | median); fr=$(cut -d' ' -f2 "$work/floor.txt" | median)
fc=$(cut -d' ' -f3 "$work/floor.txt" | median)
printf 'start-up, median of %d runs (load average %s)\n' "$runs" "$(cut -d' ' -f1 /proc/loadavg)"
printf '                                   wall       peak RSS    CPU\n'
printf '  tarvik --simulate --screenshot  %6.1f ms  %6.1f MiB  %5.0f ms\n' "$(echo "$tw * 1000" | bc)" \
  "$(echo "$tr / 1024" | bc -l)" "$(echo "$tc * 1000" | bc)"
printf '  floor (empty 1127 x 740 window) %6.1f ms  %6.1f MiB  %5.0f ms\n' "$(echo "$fw * 1000" | bc)" \
  "$(echo "$fr / 1024" | bc -l)" "$(echo "$fc * 1000" | bc)"
printf '  ratio                           %6.2f x    %6.2f x\n' "$(echo "$tw / $fw" | bc -l)" "$(echo "$tr / $fr" | bc -l)"

# Idle CPU: the hidden window in the probe, then the real program shown.
"$bin/tarvik-idle" --seconds "$seconds" --settle "$settle" 2>/dev/null
"$bin/tarvik" --simulate --data-dir "$data" >/dev/null 2>&1 &
tpid=$!
sleep "$settle"
# The scheduler's run time of every thread, in nanoseconds.
cpu() { cat /proc/"$tpid"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }
c0=$(cpu)
sleep "$seconds"
c1=$(cpu)
kill -TERM "$tpid"
wait "$tpid" || true
tpid=
printf 'idle shown (tarvik): %.3f s CPU over %d s = %.3f %% of one core\n' \
  "$(echo "($c1 - $c0) / 1000000000" | bc -l)" "$seconds" "$(echo "100 * ($c1 - $c0) / 1000000000 / $seconds" | bc -l)"
