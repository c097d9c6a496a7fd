#!/bin/bash
# SPDX-License-Identifier: BSD-3-Clause
# x11-smoke.sh <build-dir> <source-dir>
#
# The user's first path through cardbench in a real X session: an Xvfb
# server of its own (a free display number), the openbox window manager,
# and cardbench beside a private pcscd holding the demo reader. xdotool
# gives the clicks and keys a user gives:
#   the system menu (right click) -> "Use Log File"
#   "SCardEstablishContext", "SCardConnect"
#   a click at the far left of the command field's second line, then typing
#   "SCardTransmit"
#   Escape, which must leave the window open
#   "Exit", which must end the program.
# The answer is read back from the exchange log the window wrote, and the
# demo reader's trace shows the command reached the card. A picture of the
# screen after the exchange is left in <build-dir>/tests/x11/x11-smoke.png.
#
# Needs Xvfb, openbox, xdotool and xprop (tools/install-deps.sh), and root
# for the private pcscd (see tests/pcscd/README.md).
set -u

fail() {
    echo "x11-smoke: $*" >&2
    exit 1
}

# --- Inside the private pcscd: drive the window ----------------------------
if [ "${1:-}" = "--user-path" ]; then
    build=$2
    geometry=$3
    work=$4
    at() { awk -v id="$1" '$1 == id { print $2, $3 }' "$geometry"; }
    click() {
        local pos
        pos=$(at "$1")
        [ -n "$pos" ] || fail "no position for control $1"
        # shellcheck disable=SC2086
        xdotool mousemove --window "$wid" $pos click "${2:-1}"
        sleep 0.4
    }

    cd "$work" || fail "no work directory"
    "$build/console/cardbench" >"$work/cardbench.log" 2>&1 &
    app=$!
    wid=""
    for _ in $(seq 1 300); do
        wid=$(xdotool search --onlyvisible --name '^Tav_PCSC$' 2>/dev/null | head -n 1)
        [ -n "$wid" ] && break
        kill -0 "$app" 2>/dev/null || fail "cardbench ended at start-up: $(cat "$work/cardbench.log")"
        sleep 0.1
    done
    [ -n "$wid" ] || fail "the console window did not appear"
    xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
    sleep 0.5

    # Logging on, through the system menu: its third entry. The keys wait
    # for the menu's window, or they would go to the console's buttons.
    windows() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l; }
    before=$(windows)
    click 1016 3
    for _ in $(seq 1 100); do
        [ "$(windows)" -gt "$before" ] && break
        sleep 0.1
    done
    [ "$(windows)" -gt "$before" ] || fail "the system menu did not open"
    xdotool key Down Down Down Return
    sleep 0.4

    click 1000
    click 1003
    click 1010-line2
    xdotool type --delay 40 "00A4000002 3F00"
    sleep 0.3
    click 1058
    sleep 0.5
    import -window root "$build/tests/x11/x11-smoke.png" 2>/dev/null

    xdotool key Escape
    sleep 0.8
    kill -0 "$app" 2>/dev/null || fail "Escape ended the program"
    [ -n "$(xdotool search --onlyvisible --name '^Tav_PCSC$' 2>/dev/null)" ] || fail "Escape closed the window"

    click 2
    for _ in $(seq 1 150); do
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$app" 2>/dev/null; then
        kill "$app"
        fail "Exit did not end the program"
    fi
    wait "$app"

    log=$(ls "$work"/*.log 2>/dev/null | grep -v cardbench.log | head -n 1)
    [ -n "$log" ] || fail "no exchange log was written (Use Log File not reached?)"
    cr=$(printf '\r')
    grep -q "^00 A4 00 00 02 3F 00  *$cr\$" "$log" || fail "the log lacks the typed command: $(cat -A "$log")"
    grep -A1 '^\[Answer\]' "$log" | grep -q "^90 00 $cr\$" || fail "the log lacks the answer 90 00: $(cat -A "$log")"
    grep -q "00 A4 00 00 02 3F 00" "$SIMREADER_STATE_DIR/trace-demo.log" ||
        fail "the demo card was not asked: $(tail -n 5 "$SIMREADER_STATE_DIR/trace-demo.log")"
    echo "x11-smoke: the command went to the card and 90 00 came back"
    exit 0
fi

# --- Outside: the X session ---------------------------------------------------
[ $# -ge 2 ] || { echo "usage: x11-smoke.sh <build-dir> <source-dir>" >&2; exit 2; }
build=$(readlink -f "$1")
src=$(readlink -f "$2")
for tool in Xvfb openbox xdotool xprop import; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (tools/install-deps.sh)"
done

work=$(mktemp -d /tmp/x11-smoke.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(tr -cd '0-9' <"$work/display")"
unset QT_QPA_PLATFORM

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "openbox did not start"

"$build/tests/x11/console_geometry" >"$work/geometry" 2>"$work/geometry.log" || fail "console_geometry failed: $(cat "$work/geometry.log")"
mkdir -p "$work/run"
"$src/tests/pcscd/with-private-pcscd.sh" --no-net "$build/simreader/conf-demo" \
    "$(readlink -f "$0")" --user-path "$build" "$work/geometry" "$work/run"
