#!/usr/bin/env bash
# Installs what is missing, builds Tarvik and starts it on the default data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvikctl
exec build/release/bin/tarvikctl show "$@"
