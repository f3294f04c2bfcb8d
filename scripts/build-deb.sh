#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it with lintian.
#
#   scripts/build-deb.sh             configures and builds build/deb with Debian's
#                                    build flags (dpkg-buildflags, all hardening) and
#                                    without tests, then packages it
#   scripts/build-deb.sh BUILD_DIR   packages a build that exists (the test run: build/release)
#
# The package is written to BUILD_DIR/package/. Any lintian error or warning fails
# the script, except these, which wait for the project's decisions:
#   no-copyright-file  no license has been chosen, so there is no copyright file to write;
#   no-changelog       there are no release notes yet to write a changelog from.
# Informational tags are shown and do not fail; a build that exists keeps its own
# flags, so it may show hardening tags that the default build does not.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -eq 0 ]; then
    build=build/deb
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    # CMake reads CXXFLAGS and LDFLAGS; the preprocessor flags (fortify) go with the compiler's.
    export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
    launcher=()
    if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DTARVIK_TESTS=OFF -DTARVIK_BENCH=OFF \
        "${launcher[@]}" >/dev/null
    cmake --build "$build"
else
    build=$1
fi

out=$build/package
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$build/cpack.log" 2>&1 ||
    { cat "$build/cpack.log" >&2; exit 1; }
deb=$(echo "$out"/*.deb)
[ -f "$deb" ] || { echo "build-deb: cpack wrote no package into $out" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep 'libc6' >/dev/null ||
    { echo "build-deb: no library dependencies in $deb (shlibdeps)" >&2; exit 1; }

suppress=no-copyright-file,no-changelog
# The listing is read whole: grep -q would end the pipe early and make dpkg-deb fail.
contents=$(dpkg-deb -c "$deb")
if ! grep -q ' \./usr/bin/tarvik$' <<<"$contents"; then
    # Without the window the metainfo is not installed, so nothing in the package
    # names the udev rule's devices as modaliases yet.
    suppress+=,appstream-metadata-missing-modalias-provide
fi
status=0
report=$(lintian --fail-on error,warning --suppress-tags "$suppress" --display-info "$deb" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || { echo "build-deb: lintian found errors or warnings in $deb" >&2; exit 1; }
echo "build-deb: $deb"
