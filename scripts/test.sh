#!/usr/bin/env bash
# Installs what is missing, builds the dev and asan presets and runs every test on both.
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen

echo "== format check"
bash scripts/check-format.sh

for preset in dev asan; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== test $preset"
  ctest --preset "$preset"
done

echo "== install into a temporary prefix"
bash scripts/check-install.sh build/dev
