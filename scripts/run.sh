#!/usr/bin/env bash
# Installs what is missing, builds the tarvik program (only that target) and
# starts it. With no mouse attached that this user may open, it starts on the
# virtual mouse (--simulate) and says so in one line. Arguments go to tarvik;
# a backend chosen there (--hid, --simulate) or in $TARVIK_HID is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvik

# A hidraw node of the mouse (vendor 248A, product 5B2E or 5B2F) that can be
# read and written.
mouse_attached() {
  local uevent node
  for uevent in /sys/class/hidraw/hidraw*/device/uevent; do
    [ -e "$uevent" ] || continue
    grep -qiE '^HID_ID=[0-9a-f]{4}:0000248A:00005B2[EF]$' "$uevent" || continue
    node=/dev/$(basename "$(dirname "$(dirname "$uevent")")")
    if [ -r "$node" ] && [ -w "$node" ]; then return 0; fi
  done
  return 1
}

backend_chosen() {
  [ -n "${TARVIK_HID:-}" ] && return 0
  local arg
  for arg in "$@"; do
    case "$arg" in --hid|--hid=*|--simulate) return 0 ;; esac
  done
  return 1
}

if ! backend_chosen "$@" && ! mouse_attached; then
  echo "run.sh: no mouse attached; starting tarvik with the virtual mouse (--simulate)"
  exec build/release/bin/tarvik --simulate "$@"
fi
exec build/release/bin/tarvik "$@"
