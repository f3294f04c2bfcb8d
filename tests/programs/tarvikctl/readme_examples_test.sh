#!/usr/bin/env bash
# Runs every command of README.md's code blocks against the virtual mouse, in a
# temporary data folder, and requires exit 0 of each, so an example cannot rot.
#
#   readme_examples_test.sh BINDIR README
#
# "build/dev/bin/" in a command means BINDIR, and the programs' plain names are
# found there too. A socket under /tmp is moved into the test's own folder, and
# a command ending in "&" (the simulator) runs in the background until the end.
# Skipped, each for its reason:
#   - the two Quick-start lines (run.sh, test.sh): they install packages, build
#     everything and start the window or the whole test run;
#   - "sudo ..." and "cmake --install" into system folders: they need root and
#     change the machine;
#   - install-deps.sh: it installs Debian packages (root);
#   - the build commands (cmake, ctest, build-deb.sh): whole builds of their
#     own, and ctest would run this test again; the test run's install check
#     and package build cover them;
#   - commands on /sys/class/hidraw: they need the real mouse's hidraw nodes.
set -uo pipefail
bindir=$(cd "$1" && pwd)
readme=$2
work=$(mktemp -d)
daemons=()
cleanup() {
    local pid
    for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
export PATH=$bindir:$PATH QT_QPA_PLATFORM=offscreen
unset TARVIK_HID TARVIK_DATA_DIR TARVIK_TRACE
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/cwd"
chmod 700 "$XDG_RUNTIME_DIR"
# A report descriptor for "tarvikctl descriptor ... < report_descriptor": one
# vendor collection with 7-byte input and output reports.
printf '\x06\x00\xff\x09\x01\xa1\x01\x85\x10\x75\x08\x95\x06\x15\x00\x26\xff\x00\x09\x01\x81\x00\x09\x01\x91\x00\xc0' \
    >"$work/cwd/report_descriptor"

# The hidraw testbed runs its command under umockdev's preload library, which an
# AddressSanitizer build refuses (and a build without libumockdev has no testbed).
testbed_reason=
if [ ! -x "$bindir/tarvik-hidraw-testbed" ]; then
    testbed_reason="no tarvik-hidraw-testbed in this build"
elif ldd "$bindir/tarvik-hidraw-testbed" | grep libasan >/dev/null; then
    testbed_reason="the hidraw testbed cannot run under AddressSanitizer"
fi

skip_reason() {
    if [ -n "$testbed_reason" ] && [[ $1 == *tarvik-hidraw-testbed* || $1 == *"/tmp/tb.sock"* ]]; then
        echo "$testbed_reason"
        return
    fi
    case $1 in
    "bash scripts/run.sh"* | "bash scripts/test.sh"*) echo "Quick start" ;;
    sudo\ * | *"cmake --install"*) echo "needs root" ;;
    "bash scripts/install-deps.sh"*) echo "installs packages (root)" ;;
    cmake\ * | ctest\ * | "bash scripts/build-deb.sh"*) echo "a whole build" ;;
    *"/sys/class/hidraw"*) echo "needs the real mouse" ;;
    esac
}

passed=0 failed=0 skipped=0
# The lines of the fenced blocks, without trailing comments.
mapfile -t lines < <(awk '/^```/ { inside = !inside; next }
    inside { sub(/[ \t]+#[ \t].*$/, ""); if ($0 ~ /[^ \t]/) print }' "$readme")
[ ${#lines[@]} -gt 0 ] || { echo "no code blocks in $readme"; exit 1; }

for line in "${lines[@]}"; do
    reason=$(skip_reason "$line")
    if [ -n "$reason" ]; then
        echo "skipped ($reason): $line"
        skipped=$((skipped + 1))
        continue
    fi
    # /tmp/ first: the program folder may itself lie under /tmp.
    cmd=${line//\/tmp\//$work/}
    cmd=${cmd//build\/dev\/bin\//$bindir/}
    if [[ $cmd == *"&" ]]; then
        (cd "$work/cwd" && exec bash -c "exec ${cmd%&}") >"$work/daemon.log" 2>&1 &
        daemons+=($!)
        # The simulator says when it listens; 10 s is only a safety net.
        for _ in $(seq 100); do grep -q "serving" "$work/daemon.log" && break; sleep 0.1; done
        if grep -q "serving" "$work/daemon.log"; then
            echo "started: $line"
            passed=$((passed + 1))
        else
            echo "FAILED (not serving): $line"
            cat "$work/daemon.log"
            failed=$((failed + 1))
        fi
        continue
    fi
    if output=$(cd "$work/cwd" && bash -c "$cmd" 2>&1); then
        echo "ok: $line"
        passed=$((passed + 1))
    else
        status=$?
        echo "FAILED (exit $status): $line"
        printf '%s\n' "$output" | sed 's/^/    /'
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
