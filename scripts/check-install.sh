#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that the installed files are there.
set -euo pipefail
build=${1:-build/dev}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/tarvikctl bin/tarvik-mousesim lib/udev/rules.d/70-tarvik.rules \
         share/tarvik/lang/Lan_EN.txt share/tarvik/lang/Lan.txt share/tarvik/lang/LanSetting.ini \
         share/tarvik/skins/exit_nr.png share/tarvik/skins/mouse/mouse_nr.png share/tarvik/skins/Frame_common.bmp; do
  [ -e "$prefix/$f" ] || { echo "check-install: $f missing from the installed tree" >&2; exit 1; }
done
"$prefix/bin/tarvikctl" --data-dir "$prefix/data" text 0 >/dev/null
echo "check-install: installed tree complete"
