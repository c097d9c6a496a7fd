#!/bin/bash
# SPDX-License-Identifier: BSD-3-Clause
# run-with-demo-reader.sh <build-dir> <program> [args...]
#
# Runs a program (the console) against the system's readers when the system's
# pcscd lists at least one, and otherwise beside a private pcscd whose only
# reader is the simulated demo PIN pad (<build-dir>/simreader/conf-demo).
# The private pcscd shares the display's network namespace (--no-net), so the
# program's window reaches the X server. Needs root for the private pcscd
# (or BENCHKIT_PCSCD_USERNS=1, see with-private-pcscd.sh).
set -u
[ $# -ge 2 ] || { echo "usage: run-with-demo-reader.sh <build-dir> <program> [args...]" >&2; exit 2; }
build=$(readlink -f "$1")
shift
here=$(dirname "$(readlink -f "$0")")
probe="$build/simreader/pcscd-probe"
if [ -x "$probe" ] && [ -n "$("$probe" list 2>/dev/null)" ]; then
    exec "$@"
fi
exec "$here/with-private-pcscd.sh" --no-net "$build/simreader/conf-demo" "$@"
