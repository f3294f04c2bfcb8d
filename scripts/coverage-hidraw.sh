#!/usr/bin/env bash
# Line coverage of the hidraw backend (LinuxBackend.cpp, HotplugMonitor.cpp) by
# the tests that reach it: the fake-sysfs tests, the testbed tests and tarvikctl
# under tarvik-hidraw-testbed. Builds its own tree with --coverage (no window,
# no benchmarks), runs them and prints gcov's summary of the two files; the
# annotated sources (*.gcov) are left in BUILD_DIR/gcov/.
#
#   scripts/coverage-hidraw.sh [BUILD_DIR]     (default build/cov)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/cov}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage \
    -DTARVIK_BENCH=OFF -DTARVIK_GUI=OFF >/dev/null
cmake --build "$build" --target tarvik_hidraw_tests tarvik_hidraw_testbed_tests tarvikctl tarvik-mousesim \
    tarvik-hidraw-testbed
objects=$build/src/device/linux/CMakeFiles/tarvik_hid_linux.dir
find "$build" -name "*.gcda" -delete
"$build/bin/tarvik_hidraw_tests" >/dev/null
LD_PRELOAD=libumockdev-preload.so.0 "$build/bin/tarvik_hidraw_testbed_tests" >/dev/null
bash tests/device/linux/testbed_cli_test.sh "$build/bin" >/dev/null
# gcov runs where the compiler ran, to find the sources by the paths it recorded.
cd "$build"
rm -rf gcov
mkdir gcov
for file in LinuxBackend HotplugMonitor; do
    gcov -o "${objects#"$build/"}/$file.cpp.o" "${objects#"$build/"}/$file.cpp.o" 2>/dev/null |
        grep -A1 "^File '.*$file.cpp'"
    mv "$file.cpp.gcov" gcov/
done
rm -f ./*.gcov
