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
#   three selections in a row in the control list, twice: only the last
#   one's window stays open; every window a selection opens stands in
#   front of the console, wholly on the screen
#   FEATURE_VERIFY_PIN_DIRECT and a double click on "SCardControl" while
#   the pad's user types (5 keys at 150 ms): the reader gets one request
#   "Exit", which must end the program.
# The answer is read back from the exchange log the window wrote, and the
# demo reader's trace shows the command reached the card and counts the PIN
# requests. Pictures of the screen after the exchange and after the feature
# windows are left in <build-dir>/tests/x11/x11-smoke.png and
# x11-smoke-features.png.
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

    # --- The control list's feature windows -------------------------------
    # Waits up to $2 tenths of a second for the command $1 to succeed.
    poll() {
        local i
        for ((i = 0; i < $2; i++)); do
            eval "$1" && return 0
            sleep 0.1
        done
        return 1
    }
    # The titles of the program's visible windows other than the console and
    # its command-file window, one a line, sorted.
    feature_windows() {
        local w
        for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
            xdotool getwindowname "$w" 2>/dev/null
            echo
        done | grep -v -x -e 'Tav_PCSC' -e 'Tav_PCSC.phb' -e '' | sort
    }
    window_named() { xdotool search --all --onlyvisible --pid "$app" --name "^$1\$" 2>/dev/null | head -n 1; }
    # Whether window $1 stands in front of the console: later in openbox's
    # stacking list (bottom to top).
    in_front() {
        local pos=0 console_at=-1 window_at=-1 id
        for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,/ /g'); do
            [ $((id)) -eq "$wid" ] && console_at=$pos
            [ $((id)) -eq "$1" ] && window_at=$pos
            pos=$((pos + 1))
        done
        [ "$console_at" -ge 0 ] && [ "$window_at" -gt "$console_at" ]
    }
    # A window in front of the console and wholly on the 1280x1024 screen.
    check_in_front() {
        local fw=$1 title=$2 X Y WIDTH HEIGHT
        poll 'in_front "$fw"' 20 ||
            fail "\"$title\" ($fw) stands behind the console ($wid): $(xprop -root _NET_CLIENT_LIST_STACKING)"
        eval "$(xdotool getwindowgeometry --shell "$fw")"
        [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 1024 ] ||
            fail "\"$title\" lies off the screen: ${WIDTH}x${HEIGHT} at $X,$Y"
    }
    # choose ENTRY TITLE: opens the control list, types the entry's name
    # (the list's own search) and takes it with Return, as a user does; the
    # entry's window TITLE must open in front of the console.
    choose() {
        local entry=$1 title=$2 count fw
        xdotool windowactivate --sync "$wid" 2>/dev/null
        count=$(windows)
        click 1015
        # Away from the list, so that neither a tooltip nor the pointer's
        # hover changes what is shown or chosen.
        xdotool mousemove 1275 1019
        poll '[ "$(windows)" -gt "$count" ]' 50 || fail "the control list did not open for $entry"
        xdotool type --delay 15 "$entry"
        xdotool key Return
        poll '[ -n "$(window_named "$title")" ]' 50 ||
            fail "choosing $entry did not open \"$title\": $(feature_windows | tr '\n' '|')"
        fw=$(window_named "$title")
        check_in_front "$fw" "$title"
    }
    # sequence ENTRY TITLE ENTRY TITLE ENTRY TITLE: three selections in a
    # row leave the last one's window alone open.
    sequence() {
        local last=$6
        choose "$1" "$2"
        choose "$3" "$4"
        choose "$5" "$6"
        poll '[ "$(feature_windows)" = "$last" ]' 30 ||
            fail "after $1, $3, $5 the open windows are: $(feature_windows | tr '\n' '|') (only \"$last\" expected)"
    }
    sequence FEATURE_GET_KEY "GET KEY" FEATURE_GET_KEY_PRESSED GetKey FEATURE_IFD_DISPLAY_PROPERTIES "Display Properties"
    sequence FEATURE_IFD_PIN_PROP "Pin Properties" FEATURE_MODIFY_PIN_DIRECT "Modify Pin Value" \
        IOCTL_SMARTCARD_VENDOR_VERIFY_PIN "Verify Pin Value"
    # The window that once opened wholly behind the console.
    choose FEATURE_WRITE_DISPLAY " "
    import -window root "$build/tests/x11/x11-smoke-features.png" 2>/dev/null

    # A double click on "SCardControl" while the pad's user types the PIN:
    # one request reaches the reader, one PIN reaches the card.
    trace="$SIMREADER_STATE_DIR/trace-demo.log"
    requests() { grep -c ' Control 42330006' "$trace"; }
    tries() { grep -c ' PinTransmit ' "$trace"; }
    records() { cat "$work"/[0-9]*.log 2>/dev/null | grep -c '^SCardVerifyPinControlPCSCV2'; }
    choose FEATURE_VERIFY_PIN_DIRECT "Verify Pin Value"
    xdotool windowactivate --sync "$wid" 2>/dev/null
    click 1010
    xdotool key ctrl+a BackSpace
    xdotool type --delay 15 "002000010400000000"
    requests_before=$(requests)
    tries_before=$(tries)
    records_before=$(records)
    pos=$(at 3)
    # shellcheck disable=SC2086
    xdotool mousemove --window "$wid" $pos click --repeat 2 --delay 120 1
    xdotool mousemove 1275 1019
    poll '[ "$(records)" -gt "$records_before" ]' 100 ||
        fail "the PIN verify did not end ($(($(requests) - requests_before)) requests sent): $(tail -n 3 "$trace")"
    # A press queued behind the exchange would start the moment it ended.
    sleep 1
    [ "$(requests)" -eq $((requests_before + 1)) ] && [ "$(tries)" -eq $((tries_before + 1)) ] ||
        fail "one double click sent $(($(requests) - requests_before)) PIN requests, $(($(tries) - tries_before)) tries reached the card"
    xdotool windowactivate --sync "$wid" 2>/dev/null

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
