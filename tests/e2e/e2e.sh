#!/usr/bin/env bash
# The installed tarvik in a real X server, driven as a user drives it.
#
#   tests/e2e/e2e.sh PREFIX ARTEFACTS
#
# PREFIX is an installed tree (PREFIX/bin/tarvik, tarvik-mousesim, share/tarvik).
# A private Xvfb (no window manager) serves the windows; tarvik-mousesim is the
# mouse. xdotool clicks the controls at their skin coordinates times the scale,
# and the virtual mouse's dump shows what reached it. At each scale (1, 1.5, 2):
# a lighting effect chosen from its pop-up, a DPI level unticked and ticked
# again, the polling panel opened and 500 Hz clicked, then A unplugged (a DPI
# press on B still shows the display) and B (tarvik ends with 0), and a
# screenshot of the saved state. At scale
# 1 also: the on-screen display after a DPI press on the mouse, Enter and
# Escape, and a second start. Then a screenshot in Chinese. The screenshots go
# to ARTEFACTS (main-window-1.png, -1.5, -2, main-window-zh.png). Then the window
# on its default backend (hidraw) under tarvik-hidraw-testbed, which
# TARVIK_HIDRAW_TESTBED names (scripts/check-e2e.sh passes the build's). Last under
# openbox at each scale: a click on an empty spot and on a DPI value display
# moves no window; at 1 and 1.5 a click 0.3 s after a send reaches the mouse,
# and minimise and close minimise the window (no tray); with trayer as the
# tray both hide it.
set -euo pipefail
unset TARVIK_PROGRAM_DIR TARVIK_DATA_DIR TARVIK_HID TARVIK_TRACE QT_QPA_PLATFORM QT_SCALE_FACTOR
prefix=${1:?usage: e2e.sh PREFIX ARTEFACTS}
artefacts=${2:?usage: e2e.sh PREFIX ARTEFACTS}
tarvik=$prefix/bin/tarvik
mousesim=$prefix/bin/tarvik-mousesim
for tool in Xvfb xdotool xwininfo xprop jq openbox; do
    command -v "$tool" >/dev/null || {
        echo "e2e: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    }
done
mkdir -p "$artefacts"
work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
step() { echo "e2e: $*"; }
fail() {
    echo "e2e: FAILED: $*" >&2
    local log
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}
now_ms() { date +%s%3N; }
# wait_for SECONDS DESCRIPTION COMMAND...: polls COMMAND until it succeeds (a
# function when what it looks at must be read again on every try).
wait_for() {
    local limit=$(($(now_ms) + $1 * 1000)) what=$2
    shift 2
    until "$@"; do
        [ "$(now_ms)" -lt "$limit" ] || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# ---- the X server: Xvfb picks a free display and writes its number once it accepts clients.
# -noreset: without it the server resets when its last client leaves (between the scales),
# and a window started in that moment cannot connect.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 2560x1600x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 20 "Xvfb" test -s "$work/display"
display=$(head -n 1 "$work/display")
export DISPLAY=:$display
screen_w=2560 screen_h=1600
mkdir -m 0700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb

# ---- geometry
scale=1
# A skin coordinate on the screen: times the scale, truncated, as the window does.
sc() { awk -v v="$1" -v s="$scale" 'BEGIN { printf "%d", v * s }'; }
# Absolute X, Y, width, height and map state of a window.
geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } /Map State:/ { m = $3 } END { print x, y, w, h, m }'
}
# The visible windows of the program other than the main window and its tray
# icon (an X11 tray embeds it: a window of the program's class, 24 pixels or so).
others() {
    local w
    for w in $(xdotool search --onlyvisible --class '^tarvik$' 2>/dev/null | grep -vx "${main:-0}"); do
        [ "$(geometry "$w" | cut -d' ' -f3)" -ge 48 ] 2>/dev/null && echo "$w"
    done
    return 0
}
# sized W H: the first of them that is W x H (a progress dialog may be up as well).
sized() {
    local w
    for w in $(others); do
        [ "$(geometry "$w" | cut -d' ' -f3,4)" = "$1 $2" ] && { echo "$w"; return 0; }
    done
    return 0
}
main_windows() { xdotool search --onlyvisible --name '^Pelcor$' 2>/dev/null || true; }
# The window takes clicks again: no progress dialog (shown window-modal during a
# send) or pop-up is up.
no_others() { [ -z "$(others)" ]; }
none_sized() { [ -z "$(sized "$1" "$2")" ]; }
idle() { wait_for 10 "the other windows to go" no_others; }
# click_rect L T R B: a click in the middle of the skin rectangle (L, T)-(R, B).
click_rect() {
    local x=$((ox + ($(sc "$1") + $(sc "$3")) / 2)) y=$((oy + ($(sc "$2") + $(sc "$4")) / 2))
    idle
    xdotool mousemove "$x" "$y" click 1
}

# ---- the virtual mouse
sock=
dump() { "$mousesim" ctl --socket "$sock" dump --json; }
ctl() { "$mousesim" ctl --socket "$sock" "$@" >>"$work/ctl.log" 2>&1; }
dump_is() { [ "$(dump | jq -r "$1" 2>/dev/null)" = "$2" ]; }
start_mouse() { # NAME
    sock=$work/$1.sock
    "$mousesim" --socket "$sock" >"$work/mousesim-$1.log" 2>&1 &
    pids+=($!)
    wait_for 10 "tarvik-mousesim" test -S "$sock"
}

# ---- the program
tarvik_pid=
main=
start_tarvik() { # NAME DATA [ARGS...]
    local name=$1 data=$2
    shift 2
    "$tarvik" --hid "socket:$sock" --data-dir "$data" --scale "$scale" "$@" >"$work/tarvik-$name.log" 2>&1 &
    tarvik_pid=$!
    pids+=("$tarvik_pid")
    main=
    wait_for 20 "the main window" found_main
    read -r ox oy width height _ < <(geometry "$main")
    [ "$width" = "$(sc 1127)" ] && [ "$height" = "$(sc 740)" ] ||
        fail "the main window is ${width}x$height at scale $scale"
    # The start-up status query: the program has found the mouse.
    wait_for 20 "the start-up status query" dump_is '.framesReceived > 0' true
}
found_main() {
    main=$(main_windows | head -n 1)
    [ -n "$main" ] && [ "$(geometry "$main" | cut -d' ' -f5)" = IsViewable ]
}
# tarvik ends with exit code 0 within SECONDS.
ends_with_0() {
    wait_for "$1" "tarvik to end" exited "$tarvik_pid"
    local rc=0
    wait "$tarvik_pid" || rc=$?
    [ "$rc" = 0 ] || fail "tarvik ended with exit code $rc"
}
exited() { ! kill -0 "$1" 2>/dev/null; }

# ---- the checks
choose_lighting() { # the third entry of the effect pop-up: effect 3
    # Lighting panel open under the DPI panel: body at y 67 + 196 + 25.
    click_rect 886 299 1075 324
    # Eight rows of 22 and a border: (188 + 1) x (8 x 22 + 2) times the scale.
    local popup="" pw ph
    pw=$(sc 189)
    ph=$(awk -v s="$scale" 'BEGIN { printf "%d", 2 * s + 8 * 22 * s }')
    find_popup() { popup=$(sized "$pw" "$ph") && [ -n "$popup" ]; }
    wait_for 10 "the lighting pop-up" find_popup
    local px py
    read -r px py _ < <(geometry "$popup")
    # Rows of 22 below a one-pixel border, 188 wide.
    local top bottom
    top=$(awk -v s="$scale" 'BEGIN { printf "%d", s + 22 * s * 2 }')
    bottom=$(awk -v s="$scale" 'BEGIN { printf "%d", s + 22 * s * 3 }')
    xdotool mousemove $((px + $(sc 188) / 2)) $((py + (top + bottom) / 2)) click 1
    # Byte 1 of the lighting page is the effect.
    wait_for 10 "effect 3 on the mouse" dump_is '.lighting[2:4]' 03
    wait_for 10 "the pop-up to close" none_sized "$pw" "$ph"
}
dpi_mask() { dump_is '.dpiPage[2:4]' "$1"; }
untick_and_tick_level() { # level 2 of 0-4; the second click without moving the pointer
    click_rect 974 226 985 237
    wait_for 10 "level 2 unticked on the mouse" dpi_mask 1B
    # The progress dialog of the send came over the window and went.
    idle
    xdotool click 1
    wait_for 10 "level 2 ticked again on the mouse" dpi_mask 1F
}
choose_500hz() {
    # The polling header below the open DPI and lighting panels: y 97 + 196 + 180.
    click_rect 846 473 1108 498
    # Opening it closed the lighting panel: its body is at y 97 + 196 + 25, 500 Hz at (131, 92)-(203, 164).
    click_rect 977 410 1049 482
    wait_for 10 "500 Hz on the mouse" dump_is .polling 2
}
unplug_ends_tarvik() {
    ctl unplug A
    # Still there, and reading B: a DPI press reported on B shows the display.
    ctl press-dpi
    local osd=''
    find_osd() { osd=$(sized "$(sc 180)" "$(sc 140)") && [ -n "$osd" ]; }
    wait_for 10 "the on-screen display of a press on B" find_osd
    exited "$tarvik_pid" && fail "tarvik ended when only A was unplugged"
    ctl unplug B
    ends_with_0 20
}
screenshot() { # NAME DATA FILE [ENV...]: tarvik's own picture of its window on this display
    local name=$1 data=$2 file=$3
    shift 3
    ctl plug A
    ctl plug B
    env "$@" timeout 60 "$tarvik" --hid "socket:$sock" --data-dir "$data" --scale "$scale" --screenshot "$file" \
        >"$work/screenshot-$name.log" 2>&1 || fail "tarvik --screenshot $file"
    [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$file is no PNG"
    local size
    size=$(od -An -tu1 -j16 -N8 "$file" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$size" = "$(sc 1127)x$(sc 740)" ] || fail "$file is $size at scale $scale"
}

osd_appears_and_goes() {
    local start osd="" x y w h
    start=$(now_ms)
    ctl press-dpi
    find_osd() { osd=$(sized "$(sc 180)" "$(sc 140)") && [ -n "$osd" ]; }
    wait_for 5 "the on-screen display" find_osd
    read -r x y w h _ < <(geometry "$osd")
    # No window manager, so the work area is the screen.
    [ $((x + w)) = "$screen_w" ] && [ $((y + h)) = "$screen_h" ] ||
        fail "the on-screen display is at $x,$y, not at the bottom right"
    wait_for 10 "the on-screen display to go" none_sized "$w" "$h"
    local gone=$(($(now_ms) - start))
    [ "$gone" -ge 1500 ] && [ "$gone" -le 6000 ] || fail "the on-screen display went after $gone ms"
    step "on-screen display at the bottom right, gone after $gone ms"
}
keys_leave_the_window() {
    timeout 10 xdotool windowfocus --sync "$main" || fail "could not give the window the focus"
    xdotool key Return Escape
    # The word ABOUT twice shows the support notice: the keys reach the window.
    xdotool type --delay 20 aboutabout
    local notice=
    find_notice() { notice=$(others | head -n 1) && [ -n "$notice" ]; }
    wait_for 10 "the support notice (typed into the window)" find_notice
    [ "$(geometry "$main" | cut -d' ' -f5)" = IsViewable ] || fail "Enter or Escape closed the window"
    xdotool key Escape # closes the notice
    wait_for 10 "the notice to close" no_others
    [ "$(geometry "$main" | cut -d' ' -f5)" = IsViewable ] || fail "the window went with the notice"
}
second_start() {
    local data=$1 start rc=0
    start=$(now_ms)
    timeout 10 "$tarvik" --hid "socket:$sock" --data-dir "$data" --scale "$scale" >"$work/second.log" 2>&1 || rc=$?
    [ "$rc" = 0 ] || fail "the second tarvik ended with $rc"
    step "a second tarvik ended with 0 after $(($(now_ms) - start)) ms"
    [ "$(main_windows | wc -l)" = 1 ] || fail "$(main_windows | wc -l) main windows after a second start"
    exited "$tarvik_pid" && fail "the second start ended the first"
    return 0
}

for scale in 1 1.5 2; do
    step "scale $scale"
    start_mouse "mouse-$scale"
    data=$work/data-$scale
    start_tarvik "$scale" "$data"
    choose_lighting
    untick_and_tick_level
    choose_500hz
    step "scale $scale: lighting effect, DPI level and 500 Hz reached the mouse"
    if [ "$scale" = 1 ]; then
        osd_appears_and_goes
        keys_leave_the_window
        step "Enter and Escape left the window open"
        second_start "$data"
    fi
    unplug_ends_tarvik
    step "scale $scale: unplugging A and B ended tarvik with 0"
    # The saved state (effect 3, 500 Hz) in the window's own picture.
    screenshot "$scale" "$data" "$artefacts/main-window-$scale.png"
done

step "Chinese"
scale=1
start_mouse mouse-zh
mkdir -p "$work/data-zh/config"
# The language selector: any code other than EN loads the Chinese file.
{
    printf '\xff\xfe'
    printf '[ChangeLanguage]\nLanguage=CN\n' | iconv -f UTF-8 -t UTF-16LE
} >"$work/data-zh/config/LanSetting.ini"
screenshot zh "$work/data-zh" "$artefacts/main-window-zh.png"
# ==== The window on the real hidraw backend, in a umockdev testbed ====
# tarvik-hidraw-testbed is built (with libumockdev-dev) but never installed. The
# window runs with its default backend; the testbed's mouse answers its hidraw
# ioctls and takes tarvik-mousesim's ctl commands on its socket, so dump, ctl and
# the checks above work on it unchanged.
hidraw_testbed_window() {
    local testbed=${TARVIK_HIDRAW_TESTBED:-}
    if [ -z "$testbed" ] || [ ! -x "$testbed" ]; then
        step "SKIPPED the window on the hidraw testbed: no tarvik-hidraw-testbed (TARVIK_HIDRAW_TESTBED)"
        return 0
    fi
    scale=1
    sock=$work/testbed.sock
    "$testbed" --ctl-socket "$sock" -- "$tarvik" --data-dir "$work/data-testbed" --scale "$scale" \
        >"$work/tarvik-testbed.log" 2>&1 &
    tarvik_pid=$!
    pids+=("$tarvik_pid")
    wait_for 20 "the testbed's ctl socket" test -S "$sock"
    main=
    wait_for 20 "the main window on hidraw" found_main
    read -r ox oy width height _ < <(geometry "$main")
    wait_for 20 "the start-up status query through hidraw" dump_is '.framesReceived > 0' true
    untick_and_tick_level
    osd_appears_and_goes
    unplug_ends_tarvik
    step "hidraw testbed: mouse found, a click reached it, a DPI press showed the display, unplugging A and B ended tarvik with 0"
}
hidraw_testbed_window


# ---- under a window manager (openbox): the title buttons, a click right after
# a send, and clicks that must not move the window.
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ { print $3 }'; }
# state_is WINDOW minimised|hidden: iconified by the window manager, or unmapped without being iconic.
state_is() {
    local state
    state=$(wm_state "$1")
    case $2 in
    minimised) [ "$state" = Iconic ] ;;
    hidden) [ "$(geometry "$1" | cut -d' ' -f5)" != IsViewable ] && [ "$state" != Iconic ] ;;
    esac
}
viewable() { [ "$(geometry "$main" | cut -d' ' -f5)" = IsViewable ]; }
place_of() { geometry "$1" | cut -d' ' -f1,2; }
bring_up() { # a second start brings the window up
    timeout 10 "$tarvik" --hid "socket:$sock" --data-dir "$data" --scale "$scale" >>"$work/second.log" 2>&1 ||
        fail "the second start ended with an error"
    wait_for 10 "the window to come back" viewable
}
title_buttons() { # WANT: what a click on each button does to the window (minimised or hidden)
    local want=$1 id rect
    for id in minimise close; do
        [ "$id" = minimise ] && rect="1072 12 1087 27" || rect="1092 12 1107 27"
        # shellcheck disable=SC2086
        click_rect $rect
        wait_for 10 "the $id button to take the window away ($want)" state_is "$main" "$want"
        exited "$tarvik_pid" && fail "the $id button ended tarvik"
        bring_up
    done
}
click_after_send() { # a tick box clicked 0.3 s after the 500 Hz tile's click
    click_rect 846 473 1108 498 # the polling header opens its panel
    click_rect 977 410 1049 482 # 500 Hz: its send starts
    sleep 0.3
    xdotool mousemove $((ox + ($(sc 974) + $(sc 985)) / 2)) $((oy + ($(sc 226) + $(sc 237)) / 2)) click 1
    wait_for 10 "500 Hz on the mouse" dump_is .polling 2
    wait_for 10 "the level ticked off 0.3 s after the send" dpi_mask 1B
    idle
}
clicks_move_nothing() {
    local before
    before=$(place_of "$main")
    # A click on an empty spot, then the pointer goes elsewhere with no button held.
    xdotool mousemove $((ox + $(sc 560))) $((oy + $(sc 20))) click 1
    xdotool mousemove $((ox + $(sc 700))) $((oy + $(sc 120)))
    sleep 0.5
    [ "$(place_of "$main")" = "$before" ] || fail "a click on an empty spot moved the window"
    # A click on a DPI value display opens its dialog, and moves nothing.
    click_rect 900 75 907 207
    local dialog=""
    find_dpi_dialog() { dialog=$(sized "$(sc 429)" "$(sc 140)") && [ -n "$dialog" ]; }
    wait_for 10 "the DPI value dialog" find_dpi_dialog
    xdotool mousemove $((ox + $(sc 700))) $((oy + $(sc 300)))
    sleep 0.5
    [ "$(place_of "$main")" = "$before" ] || fail "a click on a DPI value display moved the window"
    local dx dy
    read -r dx dy _ < <(geometry "$dialog")
    xdotool mousemove $((dx + ($(sc 405) + $(sc 420)) / 2)) $((dy + ($(sc 4) + $(sc 19)) / 2)) click 1
    wait_for 10 "the DPI value dialog to close" no_others
}

step "openbox"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep 'window id' >/dev/null; }
wait_for 20 "openbox" wm_running
for scale in 1 1.5 2; do
    step "openbox, scale $scale"
    start_mouse "wm-$scale"
    data=$work/data-wm-$scale
    start_tarvik "wm-$scale" "$data"
    clicks_move_nothing
    step "openbox, scale $scale: clicks on an empty spot and a DPI value moved nothing"
    if [ "$scale" != 2 ]; then
        click_after_send
        step "openbox, scale $scale: a click 0.3 s after a send reached the mouse"
        title_buttons minimised
        step "openbox, scale $scale: without a tray, close and minimise minimise the window"
    fi
    kill "$tarvik_pid"
    ends_with_0 20
done
if command -v trayer >/dev/null; then
    step "openbox with a tray (trayer)"
    trayer --edge bottom --align right --widthtype pixel --width 200 --height 24 >"$work/trayer.log" 2>&1 &
    pids+=($!)
    tray_up() { xdotool search --classname '^panel$' >/dev/null 2>&1; }
    wait_for 20 "trayer" tray_up
    sleep 1 # it takes the system tray's selection once its panel is up
    scale=1
    start_mouse wm-tray
    data=$work/data-wm-tray
    start_tarvik wm-tray "$data"
    title_buttons hidden
    step "openbox with a tray: close and minimise hide the window to the tray"
    kill "$tarvik_pid"
    ends_with_0 20
else
    step "trayer is missing: the tray case is skipped (scripts/install-deps.sh installs it)"
fi
echo "e2e: passed; screenshots in $artefacts"
