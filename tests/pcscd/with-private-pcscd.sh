#!/bin/bash
# SPDX-License-Identifier: BSD-3-Clause
# with-private-pcscd.sh [--no-net] <conf-dir> <command> [args...]
#
# Runs <command> beside a pcscd of its own and returns the command's exit
# status. The pcscd lives in private mount and network namespaces
# (unshare --mount --net) with a tmpfs over /run/pcscd, so the system's pcscd,
# if any, is never seen or touched, and several runs can go side by side.
#
#   --no-net   mount namespace only: for running a GUI program against the
#              simulated readers (X11 abstract sockets live in the network
#              namespace, so a private one would cut the program off its display).
#
# What the run sets up, inside the namespace:
#   /run/pcscd            private tmpfs (pcscd's socket and pid file)
#   $PCSCD_BENCH_DIR      /run/pcscd/bench: our pid file, log, config copy
#   $PCSCD_CONF_DIR       private copy of <conf-dir>: edit it freely (see pcscd-ctl.sh)
#   $PCSCD_CONF_SOURCE    <conf-dir> as given
#   $PCSCD_LOG            pcscd's output (the simulated reader logs here too)
#   $PCSCD_PID            pid of the pcscd started here (pcscd-ctl.sh restart
#                         changes it; the current one is in $PCSCD_BENCH_DIR/pid)
#   $SIMREADER_STATE_DIR  <conf-dir>/../state, if it exists, is overlaid by a
#                         private tmpfs holding a copy of its files: card flags
#                         and traces changed by this run stay in this run
#   $PCSCD_PROBE, $PCSCD_CTL  the probe client and the control script
#
# Readiness: pcscd answers on its socket before it has started the configured
# readers, so the wrapper polls (pcscd-probe) until the expected number of
# readers is listed: the number of FRIENDLYNAME entries of <conf-dir>, or the
# number in <conf-dir>/.expected-readers when some entries are meant to be
# refused (pcscd ignores files whose names begin with a dot).
# Timeout: $PCSCD_START_TIMEOUT_MS (default 10000).
#
# The emulated serial CCID PIN pad: when <conf-dir> holds a file .ccid-pinpad
# naming a scenario, the emulator ($CCID_PINPAD, default
# <conf-dir>/../ccid-serial-pinpad) is started on it before pcscd and stopped
# after it; its pseudo-terminal replaces @CCID_PTY@ in the configuration copy
# and is exported as $CCID_PINPAD_PTY. It logs to $PCSCD_LOG.
#
# Extra pcscd options: $PCSCD_FLAGS (for example "-d" for its debug log).
# $PCSCD_KEEP_LOG=<file>: copy pcscd's log there when the run ends.
# $PCSCD_KEEP_FAILED_LOG=<file>: the same, only when the command failed.
# When the command fails, the tail of pcscd's log is printed to stderr.
#
# Root is needed for the namespaces. A normal user can run the tests with
# BENCHKIT_PCSCD_USERNS=1 where unprivileged user namespaces are allowed
# (kernel.unprivileged_userns_clone=1): the wrapper then adds
# --user --map-root-user, and pcscd runs as root of that namespace only.
#
# Adding or removing a reader, inserting or removing a card, and restarting
# pcscd from inside the run: see pcscd-ctl.sh.
set -u

me=$(readlink -f "$0")
here=$(dirname "$me")

fail() {
    echo "with-private-pcscd: $*" >&2
    exit 1
}

no_net=0
if [ "${1:-}" = "--no-net" ]; then
    no_net=1
    shift
fi
[ $# -ge 2 ] || { echo "usage: with-private-pcscd.sh [--no-net] <conf-dir> <command> [args...]" >&2; exit 2; }
conf=$(readlink -f "$1")
shift
[ -d "$conf" ] || fail "no reader configuration directory $conf"

if [ -z "${WITH_PRIVATE_PCSCD_INSIDE:-}" ]; then
    ns=(--mount --propagation private)
    [ $no_net -eq 1 ] || ns+=(--net)
    if [ "$(id -u)" -ne 0 ]; then
        if [ "${BENCHKIT_PCSCD_USERNS:-0}" = 1 ]; then
            ns=(--user --map-root-user "${ns[@]}")
        else
            fail "needs root for unshare --mount --net (running as $(id -un); see BENCHKIT_PCSCD_USERNS in $me)"
        fi
    fi
    command -v pcscd >/dev/null 2>&1 || fail "pcscd is not installed (apt-get install pcscd)"
    if ! why=$(unshare "${ns[@]}" true 2>&1); then
        fail "needs root for unshare --mount --net ($why)"
    fi
    export WITH_PRIVATE_PCSCD_INSIDE=1
    args=()
    [ $no_net -eq 1 ] && args+=(--no-net)
    exec unshare "${ns[@]}" --fork -- "$me" "${args[@]}" "$conf" "$@"
fi

# --- Inside the namespaces -------------------------------------------------
unset WITH_PRIVATE_PCSCD_INSIDE

mkdir -p /run/pcscd || fail "cannot create /run/pcscd"
mount -t tmpfs -o mode=0755 benchkit-pcscd /run/pcscd || fail "cannot mount a tmpfs over /run/pcscd"
if [ $no_net -eq 0 ]; then
    ip link set lo up 2>/dev/null || true
fi

export PCSCD_BENCH_DIR=/run/pcscd/bench
export PCSCD_CONF_SOURCE="$conf"
export PCSCD_CONF_DIR="$PCSCD_BENCH_DIR/conf"
export PCSCD_LOG="$PCSCD_BENCH_DIR/pcscd.log"
mkdir -p "$PCSCD_CONF_DIR"
cp -R --preserve=mode,timestamps "$conf/." "$PCSCD_CONF_DIR/" || fail "cannot copy $conf"
: > "$PCSCD_LOG"

simdir=$(dirname "$conf")
export PCSCD_PROBE="${PCSCD_PROBE:-$simdir/pcscd-probe}"
export PCSCD_CTL="$here/pcscd-ctl.sh"
[ -x "$PCSCD_PROBE" ] || fail "probe not found at $PCSCD_PROBE (build the pcscd-probe target)"

# Card flags and traces: private copy, so parallel runs do not see each other.
if [ -d "$simdir/state" ]; then
    export SIMREADER_STATE_DIR="$simdir/state"
    saved="$PCSCD_BENCH_DIR/state-seed"
    mkdir -p "$saved"
    cp -R --preserve=mode,timestamps "$SIMREADER_STATE_DIR/." "$saved/" 2>/dev/null
    mount -t tmpfs -o mode=0755 benchkit-simstate "$SIMREADER_STATE_DIR" || fail "cannot mount a tmpfs over $SIMREADER_STATE_DIR"
    cp -R --preserve=mode,timestamps "$saved/." "$SIMREADER_STATE_DIR/"
    rm -rf "$saved"
fi

ccid_pid=
stop_ccid_pinpad() {
    if [ -n "$ccid_pid" ]; then
        kill "$ccid_pid" 2>/dev/null
        wait "$ccid_pid" 2>/dev/null
        ccid_pid=
    fi
}
trap stop_ccid_pinpad EXIT
if [ -f "$PCSCD_CONF_DIR/.ccid-pinpad" ]; then
    ccid_scenario=$(head -n 1 "$PCSCD_CONF_DIR/.ccid-pinpad")
    ccid_bin="${CCID_PINPAD:-$simdir/ccid-serial-pinpad}"
    [ -x "$ccid_bin" ] || fail "CCID PIN pad emulator not found at $ccid_bin (build the ccid-serial-pinpad target)"
    "$ccid_bin" "$ccid_scenario" "$PCSCD_BENCH_DIR/ccid-pty" >>"$PCSCD_LOG" 2>&1 </dev/null &
    ccid_pid=$!
    for _ in $(seq 50); do
        [ -s "$PCSCD_BENCH_DIR/ccid-pty" ] && break
        kill -0 "$ccid_pid" 2>/dev/null || break
        sleep 0.1
    done
    CCID_PINPAD_PTY=$(cat "$PCSCD_BENCH_DIR/ccid-pty" 2>/dev/null)
    if [ -z "$CCID_PINPAD_PTY" ]; then
        cat "$PCSCD_LOG" >&2
        fail "the CCID PIN pad emulator did not start"
    fi
    export CCID_PINPAD_PTY
    sed -i "s|@CCID_PTY@|$CCID_PINPAD_PTY|g" "$PCSCD_CONF_DIR"/*
fi

if [ -f "$conf/.expected-readers" ]; then
    expected=$(tr -cd '0-9' < "$conf/.expected-readers")
else
    expected=$(cat "$conf"/* 2>/dev/null | grep -c '^[[:space:]]*FRIENDLYNAME')
fi
export PCSCD_EXPECTED_READERS="${expected:-0}"

# shellcheck source=pcscd-ctl.sh
. "$here/pcscd-ctl.sh" --functions-only

pcscd_start || {
    cat "$PCSCD_LOG" >&2
    fail "pcscd did not come up"
}
export PCSCD_PID
PCSCD_PID=$(cat "$PCSCD_BENCH_DIR/pid")

"$@"
rc=$?

current=$(cat "$PCSCD_BENCH_DIR/pid" 2>/dev/null)
if [ -n "$current" ] && ! kill -0 "$current" 2>/dev/null; then
    echo "with-private-pcscd: pcscd (pid $current) was not running when the command ended" >&2
    [ $rc -eq 0 ] && rc=1
fi
pcscd_stop
stop_ccid_pinpad
if [ $rc -ne 0 ]; then
    echo "with-private-pcscd: command exited with $rc; last lines of $PCSCD_LOG:" >&2
    tail -n 40 "$PCSCD_LOG" >&2
    if [ -n "${PCSCD_KEEP_FAILED_LOG:-}" ]; then
        cp "$PCSCD_LOG" "$PCSCD_KEEP_FAILED_LOG" && echo "with-private-pcscd: whole log kept in $PCSCD_KEEP_FAILED_LOG" >&2
    fi
fi
[ -n "${PCSCD_KEEP_LOG:-}" ] && cp "$PCSCD_LOG" "$PCSCD_KEEP_LOG"
exit $rc
