#!/usr/bin/env bash
# tarvikctl --hid linux on the hidraw nodes of tarvik-hidraw-testbed: devices,
# status, apply (the mouse ends in the state that the same apply leaves in the
# virtual mouse, and the same reports were written as with --hid sim) and watch
# (a DPI press on the mouse is printed; unplugging A, then B, ends it).
#
#   testbed_cli_test.sh BIN_DIR
# Exits 77 (skipped) when the testbed cannot run here.
set -euo pipefail
unset TARVIK_HID TARVIK_TRACE TARVIK_DATA_DIR
bin=${1:?usage: testbed_cli_test.sh BIN_DIR}
testbed=$bin/tarvik-hidraw-testbed
ctl=$bin/tarvikctl
mousesim=$bin/tarvik-mousesim
work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    local log
    for log in "$work"/*.log "$work"/*.err; do
        [ -s "$log" ] && { echo "--- $(basename "$log")" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}
# wait_for TRIES DESCRIPTION COMMAND...: COMMAND until it succeeds, 50 ms apart.
wait_for() {
    local tries=$1 what=$2
    shift 2
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "gave up waiting for $what"
        sleep 0.05
    done
}
mkdir -m 0700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

if ! out=$("$testbed" -- true 2>&1); then
    echo "skipped: tarvik-hidraw-testbed cannot run here: $out"
    exit 77
fi

# ---- devices: the roles at their scan positions (keyboard 0-1, other vendor 2, A 3-6, B 7-10)
"$testbed" -- "$ctl" --hid linux devices --json >"$work/devices.json" 2>"$work/devices.err" ||
    fail "tarvikctl devices"
want='[{"position":5,"identity":"A","role":"input","path":"/dev/hidraw2","vendorId":"0x248A","productId":"0x5B2E"},'
want+='{"position":6,"identity":"A","role":"feature","path":"/dev/hidraw2","vendorId":"0x248A","productId":"0x5B2E"},'
want+='{"position":9,"identity":"B","role":"input","path":"/dev/hidraw3","vendorId":"0x248A","productId":"0x5B2F"},'
want+='{"position":10,"identity":"B","role":"feature","path":"/dev/hidraw3","vendorId":"0x248A","productId":"0x5B2F"}]'
[ "$(jq -c . "$work/devices.json")" = "$want" ] || fail "devices: $(cat "$work/devices.json")"

# ---- status: the reply of A's feature node
"$testbed" -- "$ctl" --hid linux --data-dir "$work/status" status --json >"$work/status.json" 2>"$work/status.err" ||
    fail "tarvikctl status"
[ "$(jq -c '[.identity, .sensorCode, .battery]' "$work/status.json")" = '["A","0x25",100]' ] ||
    fail "status: $(cat "$work/status.json")"

# ---- apply: the same data folder three times over
"$ctl" --data-dir "$work/linux" init >/dev/null
cp -a "$work/linux" "$work/sim"
cp -a "$work/linux" "$work/socket"
"$testbed" --state "$work/linux.json" -- "$ctl" --hid linux --data-dir "$work/linux" apply --trace \
    >"$work/apply.log" 2>"$work/linux.trace" || fail "tarvikctl --hid linux apply"
"$ctl" --hid sim --data-dir "$work/sim" apply --trace >/dev/null 2>"$work/sim.trace" || fail "tarvikctl --hid sim apply"
grep -q '^W 0C 01 05 ' "$work/linux.trace" || fail "no DPI page in the trace: $(head -n 3 "$work/linux.trace")"
diff <(grep '^[WR] ' "$work/sim.trace") <(grep '^[WR] ' "$work/linux.trace") >&2 ||
    fail "the reports written and read differ from --hid sim"
# The state the virtual mouse keeps after the same apply (tarvik-mousesim's dump).
"$mousesim" --socket "$work/mouse.sock" >"$work/mousesim.log" 2>&1 &
pids+=($!)
wait_for 200 "tarvik-mousesim" test -S "$work/mouse.sock"
"$ctl" --hid "socket:$work/mouse.sock" --data-dir "$work/socket" apply >/dev/null 2>&1 || fail "apply on the simulator"
"$mousesim" ctl --socket "$work/mouse.sock" dump --json >"$work/sim.json"
cmp "$work/sim.json" "$work/linux.json" || {
    diff "$work/sim.json" "$work/linux.json" >&2 || true
    fail "the state after apply differs from the virtual mouse's"
}

# ---- watch: a press on the mouse, then unplugging A (B goes on) and B (the watch ends)
sock=$work/ctl.sock
"$testbed" --ctl-socket "$sock" -- "$ctl" --hid linux --data-dir "$work/watch" watch \
    >"$work/watch.out" 2>"$work/watch.err" &
watch_pid=$!
pids+=("$watch_pid")
wait_for 200 "the ctl socket" test -S "$sock"
press() { "$mousesim" ctl --socket "$sock" press-dpi "$1" >/dev/null && grep -q "(level $1," "$work/watch.out"; }
# The watch scans after it starts; a press before that is not heard, so press again until one is.
wait_for 200 "the press on A to be printed" press 3
"$mousesim" ctl --socket "$sock" unplug A >/dev/null
wait_for 200 "the press on B to be printed" press 2
kill -0 "$watch_pid" 2>/dev/null || fail "the watch ended when only A was unplugged"
"$mousesim" ctl --socket "$sock" unplug B >/dev/null
rc=0
wait "$watch_pid" || rc=$?
[ "$rc" = 0 ] || fail "the watch (and the testbed) ended with $rc"
grep -q "no device left" "$work/watch.err" || fail "the watch did not notice that no device was left"
echo "passed: devices, status, apply (state equal to the virtual mouse's) and watch on the testbed"
