#!/usr/bin/env bash
# Installs a build into a temporary root (prefix /usr, as a packager does) and
# runs the end-to-end test on the installed tarvik in a private X server.
# The screenshots it takes are kept in BUILD_DIR/test-artifacts/e2e/.
#
#   scripts/check-e2e.sh [BUILD_DIR]     (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
[ -x "$build/bin/tarvik" ] || {
    echo "check-e2e: $build has no tarvik (built without the window?)" >&2
    exit 1
}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
# The window on the hidraw testbed, where the build has it (never installed).
if [ -x "$build/bin/tarvik-hidraw-testbed" ]; then
    TARVIK_HIDRAW_TESTBED=$(realpath "$build/bin/tarvik-hidraw-testbed")
    export TARVIK_HIDRAW_TESTBED
fi
# The whole run takes well under a minute; the bound only stops a hang.
timeout 300 bash tests/e2e/e2e.sh "$root/usr" "$build/test-artifacts/e2e"
