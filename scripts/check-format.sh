#!/usr/bin/env bash
# Fails when a C++ file of ours is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
if [ ${#files[@]} -eq 0 ]; then
  mapfile -t files < <(find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' 2>/dev/null)
fi
[ ${#files[@]} -eq 0 ] && exit 0
clang-format --dry-run -Werror "${files[@]}"
