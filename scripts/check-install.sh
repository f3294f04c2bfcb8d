#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that the installed files are there.
set -euo pipefail
build=${1:-build/dev}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/tarvik bin/tarvikctl bin/tarvik-mousesim lib/udev/rules.d/70-tarvik.rules \
         share/tarvik/lang/Lan_EN.txt share/tarvik/lang/Lan.txt share/tarvik/lang/LanSetting.ini \
         share/tarvik/skins/exit_nr.png share/tarvik/skins/mouse/mouse_nr.png share/tarvik/skins/Frame_common.bmp; do
  [ -e "$prefix/$f" ] || { echo "check-install: $f missing from the installed tree" >&2; exit 1; }
done
"$prefix/bin/tarvikctl" --data-dir "$prefix/data" text 0 >/dev/null

# A small program built against the installed libraries and headers.
cmake -S examples/consumer -B "$prefix/consumer-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer-build" >/dev/null
levels=$("$prefix/consumer-build/tarvik-consumer" "$prefix/consumer-data")
[ "$levels" = "800 1200 1600 3200 10000 10000 10000 6000 " ] || {
  echo "check-install: consumer printed '$levels'" >&2
  exit 1
}
echo "check-install: installed tree complete, consumer build works"
