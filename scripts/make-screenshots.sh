#!/usr/bin/env bash
# Writes the screenshots of the user guide and the metainfo into docs/screenshots/
# with the window's own --screenshot, on the in-process virtual mouse at scale 1:
#   main-window.png     the window in English (also the metainfo's screenshot)
#   main-window-zh.png  the window in Chinese
#
#   scripts/make-screenshots.sh [BUILD_DIR]     (default build/dev; builds tarvik first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
cmake --build "$build" --target tarvik >/dev/null
unset TARVIK_PROGRAM_DIR TARVIK_DATA_DIR TARVIK_HID TARVIK_TRACE QT_SCALE_FACTOR
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 0700 "$work/runtime"
out=docs/screenshots
mkdir -p "$out"

shot() { # FILE DATA
    XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$build/bin/tarvik" --simulate --data-dir "$2" \
        --scale 1 --screenshot "$1" 2>/dev/null
    echo "make-screenshots: $1"
}

shot "$out/main-window.png" "$work/en"
# LanSetting.ini selects the language: any code other than EN loads the Chinese file.
mkdir -p "$work/zh/config"
{
    printf '\xff\xfe'
    printf '[ChangeLanguage]\nLanguage=CN\n' | iconv -f UTF-8 -t UTF-16LE
} >"$work/zh/config/LanSetting.ini"
shot "$out/main-window-zh.png" "$work/zh"
