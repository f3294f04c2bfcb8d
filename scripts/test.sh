#!/usr/bin/env bash
# Installs what is missing, builds the dev and asan presets (clang) and runs every test on
# both, runs the short fault campaigns on the dev build, then builds the release preset
# (GCC, optimised: what the package ships), runs every fuzz target briefly, checks an
# install of the release build, drives the installed window in a private X server, and
# packages the release build as a .deb checked by lintian.
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen

# Each stage says how long the one before it took, and the run ends with the total.
stage_start=$SECONDS
stage_name=""
stage() {
  if [ -n "$stage_name" ]; then echo "-- $stage_name: $((SECONDS - stage_start)) s"; fi
  stage_name=$1
  stage_start=$SECONDS
  echo "== $1"
}
trap 'if [ -n "$stage_name" ]; then echo "-- $stage_name: $((SECONDS - stage_start)) s"; fi; echo "-- total: $SECONDS s"' EXIT

stage "format check"
bash scripts/check-format.sh

for preset in dev asan; do
  stage "build $preset"
  cmake --preset "$preset" >/dev/null
  if [ "$preset" = dev ]; then
    # The folders keep the library graph: no include runs up it, and the toolkit
    # links nothing of the mouse (docs/architecture.md).
    python3 scripts/check-layers.py build/dev
  fi
  cmake --build --preset "$preset"
  stage "test $preset"
  ctest --preset "$preset"
done

# The fault campaigns in their short form (kills during saves, concurrent writers,
# unplugs during a send, file-system faults, socket abuse) on the dev programs.
stage "fault campaigns (short)"
bash scripts/faults/run.sh --short build/dev

# The optimised build with the other compiler (GCC, warnings as errors) builds what the
# package ships and the tools the end-to-end run drives it with: GCC warns differently
# at -O2. The install check, the end-to-end run and the package use this build, so the
# programs that ship are the ones driven; the tests already ran on two clang builds.
stage "build release"
cmake --preset release >/dev/null
cmake --build --preset release

# The fuzz campaign's short form: every target for 10 s on its committed corpus
# (the corpus and the ledger stay as they are). The fuzz build takes about two
# minutes of CPU; the long campaign runs by hand (docs/reliability.md).
stage "fuzz (short form)"
bash scripts/fuzz-campaign.sh --seconds 10 --jobs 2 --no-merge --no-ledger

stage "install into a temporary prefix"
bash scripts/check-install.sh build/release

stage "end to end: the installed tarvik in Xvfb"
bash scripts/check-e2e.sh build/release

stage "Debian package"
bash scripts/build-deb.sh build/release
