#!/bin/bash
# SPDX-License-Identifier: BSD-3-Clause
# pcscd-ctl.sh: changes the private pcscd of a with-private-pcscd.sh run from
# inside that run (a test calls it through $PCSCD_CTL). Each command returns
# once pcscd shows the change, or fails with one line after a timeout
# ($PCSCD_CTL_TIMEOUT_MS, default 10000).
#
#   insert-card <flag> [<reader-prefix>]   create $SIMREADER_STATE_DIR/card-<flag>
#   remove-card <flag> [<reader-prefix>]   delete it
#        With a reader prefix ("Bench Sim Reader"), wait until pcscd reports
#        the card present / the reader empty. pcscd polls the card every 400 ms.
#   add-reader <name> <scenario-file>      add a simulated reader
#   remove-reader <name>                   remove the reader(s) of that FRIENDLYNAME
#   restart [<readers>]                    stop pcscd and start it again; with a
#                                          count, wait for that many readers (the
#                                          other entries are meant to be refused)
#   stop | start [<readers>]               for "resource manager not running" cases
#
# Readers and restarts: the pcscd of this system (pcsc-lite 1.9.9, built
# without serial-reader rescanning) receives SIGUSR1 / "pcscd --hotplug" but
# does not re-read its reader configuration, so readers cannot come or go
# while it runs. add-reader and remove-reader therefore edit the run's private
# configuration copy ($PCSCD_CONF_DIR) and restart pcscd. Clients see the
# restart: calls on an old context fail (SCARD_E_NO_SERVICE, or
# SCARD_E_INVALID_HANDLE after the restart), SCardGetStatusChange returns at once; a
# client that establishes a new context sees the new reader list.
set -u

_ctl_fail() {
    echo "pcscd-ctl: $*" >&2
    return 1
}

_ctl_timeout() { echo "${PCSCD_CTL_TIMEOUT_MS:-${PCSCD_START_TIMEOUT_MS:-10000}}"; }

_ctl_expected() {
    local total
    total=$(cat "$PCSCD_CONF_DIR"/* 2>/dev/null | grep -c '^[[:space:]]*FRIENDLYNAME')
    local refused=0
    [ -f "$PCSCD_BENCH_DIR/refused" ] && refused=$(cat "$PCSCD_BENCH_DIR/refused")
    echo $((total - refused))
}

# Starts pcscd on $PCSCD_CONF_DIR and waits until its readers are listed.
pcscd_start() {
    if [ ! -f "$PCSCD_BENCH_DIR/refused" ]; then
        local total
        total=$(cat "$PCSCD_CONF_DIR"/* 2>/dev/null | grep -c '^[[:space:]]*FRIENDLYNAME')
        echo $((total - ${PCSCD_EXPECTED_READERS:-$total})) > "$PCSCD_BENCH_DIR/refused"
    fi
    local want
    want=$(_ctl_expected)
    # shellcheck disable=SC2086
    pcscd --foreground --config "$PCSCD_CONF_DIR" ${PCSCD_FLAGS:-} >>"$PCSCD_LOG" 2>&1 </dev/null &
    local pid=$!
    echo "$pid" > "$PCSCD_BENCH_DIR/pid"
    PCSCD_PID=$pid
    local left
    left=$(_ctl_timeout)
    while :; do
        if ! kill -0 "$pid" 2>/dev/null; then
            _ctl_fail "pcscd exited at start (see $PCSCD_LOG)"
            return 1
        fi
        if "$PCSCD_PROBE" wait-readers "$want" 200 2>/dev/null; then
            return 0
        fi
        left=$((left - 200))
        if [ $left -le 0 ]; then
            "$PCSCD_PROBE" wait-readers "$want" 0
            _ctl_fail "pcscd did not list $want reader(s) in time (see $PCSCD_LOG)"
            return 1
        fi
    done
}

# Stops the current pcscd: SIGTERM, then SIGKILL after 5 s.
pcscd_stop() {
    local pid
    pid=$(cat "$PCSCD_BENCH_DIR/pid" 2>/dev/null) || return 0
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || { rm -f "$PCSCD_BENCH_DIR/pid"; return 0; }
    local i
    for i in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "pcscd-ctl: pcscd (pid $pid) ignored SIGTERM; killing it" >&2
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    rm -f "$PCSCD_BENCH_DIR/pid"
}

# An explicit reader count for the next start: entries beyond it are meant
# to be refused.
_ctl_set_expected() {
    [ -z "$1" ] && return 0
    case "$1" in *[!0-9]*) _ctl_fail "bad reader count '$1'"; return 2 ;; esac
    local total
    total=$(cat "$PCSCD_CONF_DIR"/* 2>/dev/null | grep -c '^[[:space:]]*FRIENDLYNAME')
    echo $((total - $1)) > "$PCSCD_BENCH_DIR/refused"
}

_ctl_card() {
    local want=$1 flag=$2 prefix=${3:-}
    case "$flag" in
        */* | "") _ctl_fail "bad card flag name '$flag'"; return 2 ;;
    esac
    [ -n "${SIMREADER_STATE_DIR:-}" ] || { _ctl_fail "no SIMREADER_STATE_DIR in this run"; return 1; }
    if [ "$want" = present ]; then
        touch "$SIMREADER_STATE_DIR/card-$flag"
    else
        rm -f "$SIMREADER_STATE_DIR/card-$flag"
    fi
    [ -z "$prefix" ] && return 0
    "$PCSCD_PROBE" wait-card "$prefix" "$want" "$(_ctl_timeout)"
}

_ctl_add_reader() {
    local name=$1 scenario=$2
    [ -f "$scenario" ] || { _ctl_fail "no scenario file $scenario"; return 1; }
    local lib
    lib=$(grep -h '^[[:space:]]*LIBPATH' "$PCSCD_CONF_SOURCE"/* "$PCSCD_CONF_DIR"/* 2>/dev/null | head -n 1 | awk '{print $2}')
    [ -n "$lib" ] || lib="$(dirname "$PCSCD_CONF_SOURCE")/libsimreader.so"
    local file
    file="$PCSCD_CONF_DIR/added-$(echo "$name" | tr -c 'A-Za-z0-9\n' '_').conf"
    # CHANNELID only has to differ between entries of the same name.
    printf 'FRIENDLYNAME "%s"\nDEVICENAME %s\nLIBPATH %s\nCHANNELID %d\n\n' \
        "$name" "$scenario" "$lib" "$(date +%s%N | cut -c10-15)" >> "$file"
    pcscd_stop
    pcscd_start || return 1
    "$PCSCD_PROBE" wait-reader "$name" present "$(_ctl_timeout)"
}

_ctl_remove_reader() {
    local name=$1 f found=0
    for f in "$PCSCD_CONF_DIR"/*; do
        [ -f "$f" ] || continue
        grep -q "^[[:space:]]*FRIENDLYNAME[[:space:]]*\"$name\"" "$f" || continue
        found=1
        # Drop the entry: its FRIENDLYNAME line up to the next entry.
        awk -v n="$name" '
            /^[[:space:]]*FRIENDLYNAME/ { skip = (index($0, "\"" n "\"") > 0) }
            !skip { print }' "$f" > "$f.new" && mv "$f.new" "$f"
    done
    [ $found -eq 1 ] || { _ctl_fail "no reader named \"$name\" in $PCSCD_CONF_DIR"; return 1; }
    pcscd_stop
    pcscd_start || return 1
    "$PCSCD_PROBE" wait-reader "$name" absent "$(_ctl_timeout)"
}

[ "${1:-}" = "--functions-only" ] && return 0

for v in PCSCD_BENCH_DIR PCSCD_CONF_DIR PCSCD_LOG PCSCD_PROBE; do
    [ -n "${!v:-}" ] || { echo "pcscd-ctl: $v is not set: run inside with-private-pcscd.sh" >&2; exit 1; }
done

case "${1:-}" in
    insert-card) [ $# -ge 2 ] || exit 2; _ctl_card present "$2" "${3:-}" ;;
    remove-card) [ $# -ge 2 ] || exit 2; _ctl_card empty "$2" "${3:-}" ;;
    add-reader) [ $# -eq 3 ] || exit 2; _ctl_add_reader "$2" "$3" ;;
    remove-reader) [ $# -eq 2 ] || exit 2; _ctl_remove_reader "$2" ;;
    restart) pcscd_stop; _ctl_set_expected "${2:-}" && pcscd_start ;;
    stop) pcscd_stop ;;
    start) _ctl_set_expected "${2:-}" && pcscd_start ;;
    *) echo "usage: pcscd-ctl.sh insert-card|remove-card <flag> [<reader>] | add-reader <name> <scenario> | remove-reader <name> | restart | stop | start" >&2
       exit 2 ;;
esac
