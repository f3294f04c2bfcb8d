#!/usr/bin/env bash
# Installs a build as a packager does (prefix /usr, staged below a temporary
# root) and checks the installed tree: every file in its place and nothing else,
# the desktop file and the metainfo through their validators, the man pages
# through man, the completion through bash, and the installed programs started
# from there. A small program is then built against the installed libraries.
#
#   scripts/check-install.sh [BUILD_DIR]     (default build/dev)
set -euo pipefail
# The programs must find their files by themselves.
unset TARVIK_PROGRAM_DIR TARVIK_DATA_DIR TARVIK_HID TARVIK_TRACE
build=${1:-build/dev}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "check-install: $*" >&2
    exit 1
}

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
prefix=$root/usr
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
app_id=$(sed -n 's/^set(TARVIK_APP_ID \(.*\))$/\1/p' CMakeLists.txt)
[ -n "$app_id" ] || fail "no TARVIK_APP_ID in CMakeLists.txt"

# The udev rule goes where udev reads rules, as pkg-config names it.
rules_dir=$(cache TARVIK_UDEV_RULES_DIR)
udevdir=$(pkg-config --variable=udevdir udev)
[ "$rules_dir" = "$udevdir/rules.d" ] || fail "udev rules folder '$rules_dir', pkg-config names '$udevdir'"
rule=$root$rules_dir/70-tarvik.rules

window=false
[ -e "$prefix/bin/tarvik" ] && window=true

expected=(
    "$prefix/bin/tarvikctl" "$prefix/bin/tarvik-mousesim" "$rule"
    "$prefix"/share/tarvik/lang/{Lan_EN.txt,Lan.txt,LanSetting.ini}
    "$prefix"/share/man/man1/{tarvikctl,tarvik-mousesim}.1.gz
    "$prefix"/share/bash-completion/completions/{tarvikctl,tarvik-mousesim}
)
if $window; then
    expected+=(
        "$prefix/bin/tarvik"
        "$prefix/share/applications/$app_id.desktop" "$prefix/share/metainfo/$app_id.metainfo.xml"
        "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"
        "$prefix"/share/icons/hicolor/{48x48,128x128,256x256}/apps/"$app_id.png"
        "$prefix/share/man/man1/tarvik.1.gz" "$prefix/share/bash-completion/completions/tarvik"
    )
fi
for f in "${expected[@]}"; do
    [ -f "$f" ] || fail "${f#"$root"} missing from the installed tree"
done
cmp -s data/70-tarvik.rules "$rule" || fail "the installed udev rule differs from data/70-tarvik.rules"
# The skins as the generator drew them into the build tree, every one.
diff -r "$build/bin/skins" "$prefix/share/tarvik/skins" >/dev/null ||
    fail "share/tarvik/skins differs from the build tree's skins"

# Nothing is installed that is not checked above (or is not a development file
# or a skin).
unexpected=$(
    find "$root" -type f | sort | while read -r f; do
        case $f in
        "$prefix"/share/tarvik/skins/* | "$prefix"/include/tarvik/* | "$prefix"/lib/cmake/Tarvik/* | \
            "$prefix"/lib/libtarvik_*.a) ;;
        *) printf '%s\n' "${expected[@]}" | grep -xF "$f" >/dev/null || echo "${f#"$root"}" ;;
        esac
    done
)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

# Man pages: man formats them without a warning.
for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep '^EXIT STATUS' >/dev/null ||
        fail "$(basename "$page") has no EXIT STATUS section"
done
# Completion: the shipped script under each program's name.
for f in "$prefix"/share/bash-completion/completions/*; do
    cmp -s data/completion/tarvik.bash "$f" || fail "${f#"$root"} is not data/completion/tarvik.bash"
done
bash -n data/completion/tarvik.bash

# The desktop file and the metainfo: installed with the window, else as the build wrote them.
if $window; then
    desktop=$prefix/share/applications/$app_id.desktop
    metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
else
    desktop=$build/desktop/$app_id.desktop
    metainfo=$build/desktop/$app_id.metainfo.xml
fi
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
appstreamcli validate --no-net "$metainfo" >/dev/null || {
    appstreamcli validate --no-net "$metainfo" >&2
    fail "appstreamcli validate: $metainfo"
}
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop file does not name the icon $app_id"
# Each PNG icon has the size its folder names (a theme looks icons up by that folder).
icons=$build/icons/hicolor
$window && icons=$prefix/share/icons/hicolor
for size in 48 128 256; do
    png=$icons/${size}x${size}/apps/$app_id.png
    [ -f "$png" ] || fail "no ${size}x${size} icon"
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$dims" = "${size}x${size}" ] || fail "${png#"$root"} is $dims"
done
grep -q 'viewBox="0 0 256 256"' "$icons/scalable/apps/$app_id.svg" || fail "the SVG icon has no 256 x 256 view box"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"

# The installed programs find their data from bin/../share/tarvik: the first start
# (here init; a reading command creates nothing) copies the installed language
# files into the new data folder, and the texts read from there.
"$prefix/bin/tarvikctl" --data-dir "$root/data" init >/dev/null
"$prefix/bin/tarvikctl" --data-dir "$root/data" text 0 >/dev/null
cmp -s data/lang/Lan_EN.txt "$root/data/config/Lan_EN.txt" ||
    fail "tarvikctl did not take the language files from the installed share/tarvik"
"$prefix/bin/tarvik-mousesim" --help >/dev/null
if $window; then
    version=$("$prefix/bin/tarvik" --version)
    [ "$version" = "tarvik $(cache CMAKE_PROJECT_VERSION)" ] || fail "tarvik --version printed '$version'"
    # Its own runtime folder: the single-instance lock and socket stay apart from a running window.
    mkdir -m 0700 "$root/runtime"
    screenshot() { # FILE [ENV...]: the installed window, drawn into FILE
        local file=$1
        shift
        env "$@" XDG_RUNTIME_DIR="$root/runtime" QT_QPA_PLATFORM=offscreen "$prefix/bin/tarvik" --simulate \
            --data-dir "$root/window-data" --scale 1 --screenshot "$file" ||
            fail "the installed tarvik could not take its screenshot"
        [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
            fail "the installed tarvik wrote no PNG screenshot"
    }
    screenshot "$root/window.png"
    # The same window without a program folder draws only fill colours and texts:
    # the first picture differs from it when the skins came from share/tarvik.
    screenshot "$root/window-bare.png" TARVIK_PROGRAM_DIR="$root/nothing"
    ! cmp -s "$root/window.png" "$root/window-bare.png" ||
        fail "the installed tarvik draws no skin pictures (share/tarvik/skins not found)"
fi

# A small program built against the installed libraries and headers.
cmake -S examples/consumer -B "$root/consumer-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$root/consumer-build" >/dev/null
levels=$("$root/consumer-build/tarvik-consumer" "$root/consumer-data")
[ "$levels" = "800 1200 1600 3200 10000 10000 10000 6000 " ] || fail "consumer printed '$levels'"

if $window; then
    echo "check-install: installed tree complete and valid, installed tarvik started, consumer build works"
else
    echo "check-install: installed tree complete and valid (no tarvik target: the window's files checked in the build tree), consumer build works"
fi
