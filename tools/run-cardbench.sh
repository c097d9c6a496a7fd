#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Sets up, builds and runs cardbench. With a smart-card reader attached
# (a USB interface of the CCID class) it runs against the system's pcscd;
# otherwise against a private pcscd holding the simulated PIN-pad reader.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}

"$top/tools/install-deps.sh"
cmake -G Ninja -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBENCHKIT_BENCH=OFF >/dev/null
ninja -C "$build" cardbench simreader pcscd-probe

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run-cardbench: no display; start one (e.g. Xvfb :1 & export DISPLAY=:1) and run again" >&2
  exit 1
fi

# A CCID reader is served by the system's pcscd: make sure it runs, then use
# it when it lists a reader, and the simulated reader otherwise.
for c in /sys/bus/usb/devices/*/bInterfaceClass; do
  if [ -r "$c" ] && [ "$(cat "$c")" = "0b" ]; then
    pgrep -x pcscd >/dev/null || systemctl start pcscd.socket 2>/dev/null || pcscd || true
    break
  fi
done
exec "$top/tests/pcscd/run-with-demo-reader.sh" "$build" "$build/console/cardbench"
