#!/usr/bin/env bash
# Runs the fuzz campaign: builds the fuzz preset, runs each libFuzzer target for
# a time budget on its corpus in fuzz/corpus/<target>/, merges what the run found
# back into a minimised corpus, and appends one line per run to
# fuzz/campaign-ledger.tsv (date, target, commit, seconds, executions, findings).
# A crash, leak, timeout or out-of-memory input is kept in
# build/fuzz/campaign/findings/ and makes the script exit 1.
#
#   scripts/fuzz-campaign.sh [--seconds N | --total N] [--jobs J] [--no-merge] [--no-ledger]
#                            [--no-build] [TARGET ...]
#   scripts/fuzz-campaign.sh --totals
#
#   --seconds N   seconds per target (default 60)
#   --total N     seconds for the whole campaign, shared evenly by the targets
#   --jobs J      targets run at the same time (default 1; the fuzzers run under nice -n 19)
#   --no-merge    leave the committed corpora as they are (CI's short form)
#   --no-ledger   append nothing to the ledger
#   TARGET        run only these targets (default: every fuzz_* program of the build)
#   --totals      print the ledger's sums per target (runs, seconds, executions, findings) and exit
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=60
total=
jobs=1
merge=1
ledger=1
build=1
totals=0
targets=()
while (($#)); do
  case "$1" in
  --seconds) seconds=$2; shift 2 ;;
  --total) total=$2; shift 2 ;;
  --jobs) jobs=$2; shift 2 ;;
  --no-merge) merge=0; shift ;;
  --no-ledger) ledger=0; shift ;;
  --no-build) build=0; shift ;;
  --totals) totals=1; shift ;;
  -h | --help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  -*) echo "fuzz-campaign: unknown option $1" >&2; exit 2 ;;
  *) targets+=("$1"); shift ;;
  esac
done
ledgerFile=$root/fuzz/campaign-ledger.tsv
if ((totals)); then
  [[ -f $ledgerFile ]] || { echo "fuzz-campaign: no ledger yet" >&2; exit 2; }
  echo "| target | runs | seconds | executions | findings |"
  echo "|---|---:|---:|---:|---:|"
  awk -F'\t' 'NR > 1 { runs[$2]++; secs[$2] += $4; execs[$2] += $5; found[$2] += $6 }
    END { for (t in runs) printf "| %s | %d | %d | %d | %d |\n", t, runs[t], secs[t], execs[t], found[t] }' \
    "$ledgerFile" | sort
  awk -F'\t' 'NR > 1 { all += $5 } END { printf "| all | | | %d | |\n", all }' "$ledgerFile"
  exit 0
fi
for n in "$seconds" "$jobs" ${total:+"$total"}; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "fuzz-campaign: not a positive number: $n" >&2; exit 2; }
done

if ((build)); then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake --preset fuzz "${launcher[@]}" >/dev/null
  cmake --build --preset fuzz --target fuzzers
fi
bin=$root/build/fuzz/bin
if ((${#targets[@]} == 0)); then
  for f in "$bin"/fuzz_*; do [[ -x $f ]] && targets+=("$(basename "$f")"); done
fi
((${#targets[@]})) || { echo "fuzz-campaign: no fuzz targets in $bin" >&2; exit 2; }
for t in "${targets[@]}"; do
  [[ -x $bin/$t ]] || { echo "fuzz-campaign: no such target: $t" >&2; exit 2; }
done
[[ -n $total ]] && seconds=$((total / ${#targets[@]} > 0 ? total / ${#targets[@]} : 1))

work=$root/build/fuzz/campaign
findings=$work/findings
mkdir -p "$work" "$findings"
((ledger == 0)) || [[ -f $ledgerFile ]] || printf 'date\ttarget\tcommit\tseconds\texecutions\tfindings\n' >"$ledgerFile"
commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD -- src fuzz ':(exclude)fuzz/corpus' ':(exclude)fuzz/campaign-ledger.tsv' 2>/dev/null || commit+="+"

# One target: fuzz into a scratch corpus that starts from the committed one,
# then merge both into a fresh minimised corpus that replaces the committed one.
run_target() {
  local t=$1 corpus=$root/fuzz/corpus/$1 scratch=$work/$1 log=$work/$1.log
  mkdir -p "$corpus" "$scratch/new"
  rm -rf "${scratch:?}/new/"*
  # The targets write their scratch data folders under TMPDIR: in memory where
  # there is /dev/shm, as a sensor change saves every profile file with fsync.
  local tmp
  tmp=$(mktemp -d "$( [[ -w /dev/shm ]] && echo /dev/shm || echo "$scratch")/tarvik-fuzz.XXXXXX")
  local before after status=0
  before=$(find "$findings" -name "$t-*" | wc -l)
  # A smaller quarantine than AddressSanitizer's 256 MB: freed memory is reused
  # sooner, so far fewer fresh pages are faulted in (a fifth faster on the file
  # targets); a use after free is still caught within the last 16 MB freed.
  TMPDIR=$tmp ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16} nice -n 19 "$bin/$t" \
    -max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/$t-" "$scratch/new" "$corpus" \
    >"$log" 2>&1 || status=$?
  after=$(find "$findings" -name "$t-*" | wc -l)
  local execs found=$((after - before))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  ((status != 0 && found == 0)) && found=1
  if ((ledger)); then
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$t" "$commit" "$seconds" \
      "${execs:-0}" "$found" >>"$ledgerFile"
  fi
  if ((merge && found == 0)); then
    local fresh=$scratch/merged
    rm -rf "$fresh" && mkdir -p "$fresh"
    TMPDIR=$tmp nice -n 19 "$bin/$t" -merge=1 "$fresh" "$corpus" "$scratch/new" \
      >"$work/$t.merge.log" 2>&1
    rm -rf "$corpus" && mv "$fresh" "$corpus"
  fi
  rm -rf "$tmp"
  printf '%-24s %8s executions in %ss, %s finding(s)%s\n' "$t" "${execs:-0}" "$seconds" "$found" \
    "$( ((found)) && echo ": see $log")"
  return $((found ? 1 : 0))
}

failed=0
running=0
for t in "${targets[@]}"; do
  if ((running >= jobs)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_target "$t" &
  running=$((running + 1))
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done

if ((failed)); then
  echo "fuzz-campaign: findings kept in $findings" >&2
  exit 1
fi
