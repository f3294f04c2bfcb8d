#!/usr/bin/env bash
# Installs every Debian package Tarvik needs to build, test, benchmark, fuzz and
# package (man pages, completion, desktop file and metainfo checks, the .deb; umockdev
# for the tests of the real hidraw path), and
# the Python the fault campaigns under scripts/faults/ run on.
# Idempotent: packages already present are not touched and nothing is fetched
# when the machine already has them all.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang lld libclang-rt-14-dev libfuzzer-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libqt6svg6 libgl-dev libxkbcommon-dev
  libudev-dev udev umockdev libumockdev-dev
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libx11-dev libxi-dev libxtst-dev
  xvfb xauth fonts-dejavu-core fonts-dejavu-extra fonts-wqy-microhei dbus-daemon
  xdotool x11-utils jq openbox trayer x11-session-utils
  help2man man-db bash-completion desktop-file-utils appstream dpkg-dev lintian
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
