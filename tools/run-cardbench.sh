#!/bin/sh
# Sets up, builds and runs cardbench. With a smart-card reader attached
# (a USB interface of the CCID class) it runs against the system's pcscd;
# otherwise against a private pcscd holding the simulated PIN-pad reader.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}

"$top/tools/install-deps.sh"
cmake -G Ninja -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBENCHKIT_BENCH=OFF >/dev/null
ninja -C "$build" cardbench simreader

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run-cardbench: no display; start one (e.g. Xvfb :1 & export DISPLAY=:1) and run again" >&2
  exit 1
fi

ccid_reader_attached() {
  for c in /sys/bus/usb/devices/*/bInterfaceClass; do
    [ -r "$c" ] && [ "$(cat "$c")" = "0b" ] && return 0
  done
  return 1
}

if ccid_reader_attached; then
  echo "run-cardbench: reader attached, using the system pcscd"
  pgrep -x pcscd >/dev/null || systemctl start pcscd.socket 2>/dev/null || pcscd
  exec "$build/console/cardbench"
fi
echo "run-cardbench: no reader attached, starting the simulated PIN-pad reader"
exec "$top/tests/pcscd/with-private-pcscd.sh" --no-net "$build/simreader/conf-demo" "$build/console/cardbench"
